#pragma once

#include "model/Application.h"
#include "model/SourceFailure.h"
#include "util/ObserverToken.h"

#include <QDateTime>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QHBoxLayout;

namespace norvelle {

class UrlOpener;

// The band of small facts under the header: where updates come from, when the pending update
// was released, when updates were last looked for (and why the last check of the application
// failed), and the homepage or the download size.
// Absent (no cells, no divider) when it would have nothing to say but "Unknown".
class ApplicationMetadataRowView : public QWidget {
    Q_OBJECT

public:
    struct Cell {
        QString title;
        QString value;
        std::optional<QString> subtitle;
        std::optional<QUrl> link; // the cell opens it when clicked
    };

    // `urlOpener` may be null: links then do nothing.
    ApplicationMetadataRowView(std::shared_ptr<Application> application, std::optional<QDateTime> lastUpdateCheck,
                               UrlOpener* urlOpener, QWidget* parent = nullptr);
    ~ApplicationMetadataRowView() override;

    void setLastUpdateCheck(const std::optional<QDateTime>& lastUpdateCheck);
    // The sources the last discovery could not read: a cask may lack facts because of them.
    void setSourceFailures(const QList<SourceFailure>& failures);

    // The cells for the application as it is at `now`; empty when the row is absent.
    // `catalogueUnread`: the cask catalogue could not be read, so a missing fact is not known
    // to be missing.
    static QList<Cell> cells(const Application::Snapshot& application,
                             const std::optional<QDateTime>& lastUpdateCheck, const QDateTime& now,
                             bool catalogueUnread = false);
    static QString appStoreAddress(const QString& appID);
    static QString caskAddress(const QString& caskName);
    // What the pane says of the application's last check when it could not read a source.
    static std::optional<QString> checkFailureText(const Application::Snapshot& application);

private:
    void rebuild();

    std::shared_ptr<Application> m_application;
    std::optional<QDateTime> m_lastUpdateCheck;
    bool m_catalogueUnread = false;
    UrlOpener* m_urlOpener;
    QWidget* m_content = nullptr;
    ObserverToken m_observer; // last member: unregistered before the widgets go
};

} // namespace norvelle
