#pragma once

#include <QWidget>
#include <functional>
#include <optional>

class QLabel;

namespace norvelle {

class ClampedLabel;

// One fact of the metadata row: caption, value and an optional third line, centred; with an
// action the whole cell is a flat button that runs it. A value that is an address is one line,
// cut with "…" and whole in its tooltip, as the cask panel's homepage link: an address is never
// broken inside a word.
class ApplicationMetadataItemView : public QWidget {
    Q_OBJECT

public:
    ApplicationMetadataItemView(const QString& title, const QString& value,
                                const std::optional<QString>& subtitle, std::function<void()> onTap,
                                bool valueIsAddress = false, QWidget* parent = nullptr);

    QString title() const { return m_titleText; }
    QString value() const;
    // Null when the cell has no third line.
    QLabel* subtitleLabel() const { return m_subtitle; }
    bool isLink() const { return static_cast<bool>(m_onTap); }
    // Runs the action, as a click does.
    void activate();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_titleText;
    ClampedLabel* m_value = nullptr;
    QLabel* m_subtitle = nullptr;
    std::function<void()> m_onTap;
};

} // namespace norvelle
