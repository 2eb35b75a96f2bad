#pragma once

#include "model/Application.h"

#include <QWidget>
#include <memory>

class QLabel;

namespace norvelle {

class Banner;
class ClampedLabel;

// The header's banner for a refresh of one application: "Refreshing..." while it runs, then
// "Refreshed Successfully!" with a line saying whether Homebrew now manages the application, or,
// when the check could not read a source (`failure`, its reason), that the check failed and why
// (two lines at most, the whole line in the tooltip when cut).
class RefreshProgressView : public QWidget {
    Q_OBJECT

public:
    RefreshProgressView(std::shared_ptr<Application> application, bool isRefreshing,
                        QWidget* parent = nullptr);

    void setState(bool isRefreshing, const QString& failure);
    // Re-reads the application's name, cask and update.
    void sync();

    static QString title(bool isRefreshing, const QString& failure = {});
    static QString subtitle(const Application::Snapshot& application, bool isRefreshing,
                            const QString& failure = {});

private:
    std::shared_ptr<Application> m_application;
    bool m_isRefreshing;
    QString m_failure;
    Banner* m_banner = nullptr;
    QLabel* m_title = nullptr;
    ClampedLabel* m_subtitle = nullptr;
};

} // namespace norvelle
