#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <optional>

class QPushButton;

namespace norvelle {

// A 600 × 500 status page that fills a sheet: a large symbol (or, without one, a spinner), a
// title, a centred message of at most 400 points, and at the bottom right an optional refresh
// button and "Done" (Return).
class RefreshEnvironmentView : public QWidget {
    Q_OBJECT

public:
    static constexpr int pageWidth = 600;
    static constexpr int pageHeight = 500;

    struct Content {
        std::optional<QString> icon;
        QColor iconColor; // invalid: the primary text colour
        QString title;
        QString message;
        bool showRefreshButton = false;
        bool isRefreshing = false;
    };

    explicit RefreshEnvironmentView(const Content& content, QWidget* parent = nullptr);

    // Null when the page shows no refresh button.
    QPushButton* refreshButton() const { return m_refresh; }
    QPushButton* doneButton() const { return m_done; }

Q_SIGNALS:
    void refreshClicked();
    void doneClicked();

private:
    QPushButton* m_refresh = nullptr;
    QPushButton* m_done = nullptr;
};

} // namespace norvelle
