#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace norvelle {

// A softly filled, rounded panel that spans the page's width, optionally under a title. The
// fill is the palette's window text at a very low opacity, so the card reads on a light and a
// dark palette alike.
class SettingsCard : public QWidget {
    Q_OBJECT

public:
    static constexpr double fillOpacity = 0.037;
    static constexpr qreal radius = 12;

    // An empty title means no title line.
    explicit SettingsCard(const QString& title = {}, QWidget* parent = nullptr);

    QVBoxLayout* contentLayout() const { return m_content; }
    QLabel* titleLabel() const { return m_title; }

private:
    class Panel;
    QLabel* m_title = nullptr;
    QVBoxLayout* m_content = nullptr;
};

} // namespace norvelle
