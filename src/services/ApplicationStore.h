#pragma once

#include "model/Application.h"
#include "model/EnvironmentStatus.h"
#include "model/SourceFailure.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QUrl>
#include <QUuid>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace norvelle {

class DockBadge;

// The one observable holder of the application list, the selection, the last
// environment status, the time of the last full update check and the sources the last
// discovery could not read. Lives on the main thread; every read and write happens there.
// Each setter stores its value and signals only when the value differs. The store also
// re-emits every change of a listed application's tracked fields, on the main thread, so
// views need to connect to the store alone.
class ApplicationStore : public QObject {
    Q_OBJECT

public:
    using ApplicationList = QList<std::shared_ptr<Application>>;

    // `dockBadge` may be null where no launcher badge exists.
    explicit ApplicationStore(std::shared_ptr<DockBadge> dockBadge, QObject* parent = nullptr);
    ~ApplicationStore() override;

    // Two lists count as equal when they hold the same ids in the same order; an
    // equal list still replaces the stored one, silently. Either way the badge is
    // recomputed.
    ApplicationList applications() const { return m_applications; }
    void setApplications(ApplicationList applications);

    std::optional<QUuid> selectedApplicationId() const { return m_selectedApplicationId; }
    void setSelectedApplicationId(std::optional<QUuid> id);

    std::optional<EnvironmentStatus> environmentStatus() const { return m_environmentStatus; }
    void setEnvironmentStatus(std::optional<EnvironmentStatus> status);

    std::optional<QDateTime> lastUpdateCheck() const { return m_lastUpdateCheck; }
    void setLastUpdateCheck(std::optional<QDateTime> time);

    // The sources the discovery that made the list could not read.
    QList<SourceFailure> sourceFailures() const { return m_sourceFailures; }
    void setSourceFailures(QList<SourceFailure> failures);

    // The listed applications that have an update and are not ignored, in list order, as the
    // store has seen their changes (one made on another thread counts once it reached the main
    // thread, as for updateCount).
    ApplicationList applicationsWithUpdates() const;
    // How many applications applicationsWithUpdates would list, kept up to date as the
    // store re-emits changes rather than counted, so a label can follow every change.
    int updateCount() const { return int(m_withUpdates.size()); }
    // The listed applications by path: what outlives a discovery, which publishes new objects,
    // finds the application by where it is.
    QHash<QUrl, std::shared_ptr<Application>> applicationsByPath() const;
    // The listed application whose id is the selection, if any.
    std::shared_ptr<Application> selectedApplication() const;

    // Writes the badge: the number of applicationsWithUpdates, or no badge below one.
    void updateDockBadge();

Q_SIGNALS:
    void applicationsChanged();
    void selectedApplicationIdChanged();
    void environmentStatusChanged();
    void lastUpdateCheckChanged();
    void sourceFailuresChanged();
    // A tracked field of a listed application changed.
    void applicationChanged(const std::shared_ptr<norvelle::Application>& application,
                            norvelle::Application::Field field);
    // Once per event-loop turn in which applicationChanged was emitted, after all of that
    // turn's changes: for views that redraw from the whole list, so that a check's hundreds
    // of write-backs cost them one pass instead of one each.
    void applicationsUpdated();

private:
    void observeListedApplications();
    void forwardChange(const std::weak_ptr<Application>& application, Application::Field field);
    void recountUpdate(const Application& application);

    std::shared_ptr<DockBadge> m_dockBadge;
    ApplicationList m_applications;
    std::optional<QUuid> m_selectedApplicationId;
    std::optional<EnvironmentStatus> m_environmentStatus;
    std::optional<QDateTime> m_lastUpdateCheck;
    QList<SourceFailure> m_sourceFailures;
    // One observer per listed application, keyed by the object it watches.
    std::unordered_map<const Application*, ObserverToken> m_observers;
    std::unordered_set<const Application*> m_withUpdates;
    bool m_updatedPending = false;
};

} // namespace norvelle
