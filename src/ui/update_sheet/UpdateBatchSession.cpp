#include "ui/update_sheet/UpdateBatchSession.h"

#include "coordinator/AppCoordinator.h"
#include "services/ApplicationStore.h"
#include "util/Async.h"
#include "util/Error.h"
#include "platform/Logger.h"
#include "viewmodels/DetailViewModel.h"
#include "viewmodels/SidebarViewModel.h"

#include <QCoreApplication>
#include <QPointer>

#include <atomic>
#include <algorithm>

namespace norvelle {

namespace {

bool inFlight(UpdateProgress::Status status)
{
    using S = UpdateProgress::Status;
    return status == S::queued || status == S::downloading || status == S::installing || status == S::verifying;
}

} // namespace

UpdateBatchSession::UpdateBatchSession(ApplicationList applications, ApplicationList sudoRequiredApps,
                                       AppCoordinator& coordinator, DetailViewModel& detailViewModel,
                                       ApplicationStore& store)
    : m_givenApplications(std::move(applications)), m_givenSudoRequiredApps(std::move(sudoRequiredApps)),
      m_applications(m_givenApplications), m_sudoRequiredApps(m_givenSudoRequiredApps),
      m_coordinator(coordinator), m_detailViewModel(detailViewModel), m_store(store)
{
    follow();
    connect(&m_store, &ApplicationStore::applicationsChanged, this, &UpdateBatchSession::followStore);
}

UpdateBatchSession::~UpdateBatchSession() = default;

UpdateBatchSession::ApplicationList UpdateBatchSession::listedNow(const ApplicationList& given) const
{
    const QHash<QUrl, std::shared_ptr<Application>> listed = m_store.applicationsByPath();
    ApplicationList now;
    for (const auto& application : given) {
        if (const auto found = application ? listed.value(application->path()) : nullptr)
            now.append(found);
    }
    return now;
}

void UpdateBatchSession::followStore()
{
    // A discovery publishes new objects: the review shows, counts and starts those, and drops an
    // application gone from the list. Once started, the positions stay; the coordinator keeps the
    // batch's applications listed as they are while it runs and takes each from the list itself.
    if (m_hasStarted)
        return;
    ApplicationList applications = listedNow(m_givenApplications);
    ApplicationList sudoRequiredApps = listedNow(m_givenSudoRequiredApps);
    if (sameApplications(applications, m_applications) &&
        sameApplications(sudoRequiredApps, m_sudoRequiredApps))
        return;
    m_applications = std::move(applications);
    m_sudoRequiredApps = std::move(sudoRequiredApps);
    follow();
    Q_EMIT changed(listChange | pendingChange);
}

void UpdateBatchSession::follow()
{
    m_positions.clear();
    m_versionObservers.clear();
    m_versions = QList<Versions>(m_applications.size());
    QPointer<UpdateBatchSession> guard(this);
    for (qsizetype i = 0; i < m_applications.size(); ++i) {
        const auto& application = m_applications.at(i);
        if (!application)
            continue;
        if (!m_positions.contains(application->path()))
            m_positions.insert(application->path(), static_cast<int>(i));
        const int index = static_cast<int>(i);
        rememberVersions(index);
        m_versionObservers.push_back(application->addObserver([guard, index](Application::Field field) {
            if (field != Application::Field::update && field != Application::Field::currentVersion)
                return;
            postToMain([guard, index] {
                if (!guard)
                    return;
                guard->rememberVersions(index);
                if (!guard->m_hasStarted)
                    Q_EMIT guard->changed(pendingChange);
            });
        }));
    }
}

UpdateBatchSession::ApplicationList UpdateBatchSession::pendingApplications() const
{
    ApplicationList pending;
    for (const auto& application : m_applications) {
        if (application && application->update())
            pending.append(application);
    }
    return pending;
}

bool UpdateBatchSession::isSettled(int index) const
{
    return m_settled.contains(index);
}

UpdateBatchSession::Versions UpdateBatchSession::versionsAt(int index) const
{
    return index >= 0 && index < m_versions.size() ? m_versions.at(index) : Versions{};
}

void UpdateBatchSession::rememberVersions(int index)
{
    // A change posted before the start may name a position in the batch as it was given.
    if (index >= m_applications.size())
        return;
    const Application::Snapshot app = m_applications.at(index)->snapshot();
    // Without its update the application shows its installed version alone; the batch goes on
    // naming the update it was given.
    if (!app.update && !m_versions.at(index).from.isEmpty())
        return;
    Versions versions{app.displayCurrentVersion(), app.displayLatestVersion().value_or(QString())};
    Versions& kept = m_versions[index];
    if (versions.from == kept.from && versions.to == kept.to)
        return;
    kept = std::move(versions);
    if (index == m_currentIndex)
        Q_EMIT changed(currentChange);
}

double UpdateBatchSession::overallProgress() const
{
    if (m_applications.isEmpty())
        return 0.0;
    if (m_hasCompleted)
        return 1.0;
    return std::min(1.0, static_cast<double>(m_settled.size()) / static_cast<double>(m_applications.size()));
}

void UpdateBatchSession::start()
{
    if (m_hasStarted)
        return;
    const ApplicationList pending = pendingApplications();
    // The button is disabled then; a click that came before its redraw starts no empty batch.
    if (pending.isEmpty()) {
        Q_EMIT changed(pendingChange);
        return;
    }
    m_hasStarted = true;
    m_applications = pending;
    follow();
    m_isProcessing = true;
    m_hasCompleted = false;
    m_results.clear();
    m_settled.clear();
    Q_EMIT changed(phaseChange | overallChange);

    // The coordinator writes each outcome back into the application right after its chunk:
    // the earliest moment at which the application has certainly finished.
    const std::weak_ptr<UpdateBatchSession> weak = weak_from_this();
    for (qsizetype i = 0; i < m_applications.size(); ++i) {
        if (!m_applications.at(i))
            continue;
        const int index = static_cast<int>(i);
        m_observers.push_back(m_applications.at(i)->addObserver([weak, index](Application::Field field) {
            if (field != Application::Field::update)
                return;
            postToMain([weak, index] {
                if (const auto self = weak.lock())
                    self->outcomeWritten(index);
            });
        }));
    }

    AppCoordinator& coordinator = m_coordinator;
    const ApplicationList applications = m_applications;
    const auto cancelRequested = m_cancelRequested;
    auto handler = [weak](int index, const UpdateProgress& progress) {
        if (const auto self = weak.lock())
            self->handleProgress(index, progress);
    };
    // The continuation holds the session, so the batch ends here whatever became of the sheet.
    runAsync([&coordinator, applications, handler, cancelRequested] {
        if (cancelRequested->load())
            return QList<Update::Result>();
        // A cancel that reached the coordinator before it had registered the batch found nothing
        // to stop. A report proves the batch is registered, and stopping it from here, while the
        // chunk under way still runs, lands before the coordinator looks at the next chunk; a
        // retry through the main thread could arrive after it.
        auto forwarded = std::make_shared<std::atomic_bool>(false);
        return coordinator.updateApplications(
            applications, 1, [&coordinator, applications, handler, cancelRequested, forwarded](const UpdateProgress& p) {
                if (cancelRequested->load() && coordinator.hasActiveBatch() && !forwarded->exchange(true))
                    coordinator.cancelUpdates();
                forwardProgressToMainActor(p, applications, handler);
            });
    }).then(QCoreApplication::instance(), [self = shared_from_this()](QFuture<QList<Update::Result>> future) {
        QList<Update::Result> results;
        try {
            results = future.result();
        } catch (...) {
            // The coordinator reports failures as results; anything else still ends the batch,
            // as a failure in the log, never as a cancellation.
            Logger::error(QStringLiteral("Batch update failed: ") + describeException(std::current_exception()));
        }
        self->finish(results);
    });
}

void UpdateBatchSession::cancel()
{
    if (!m_isProcessing || m_isCancelling)
        return;
    m_isCancelling = true;
    m_cancelRequested->store(true);
    Q_EMIT changed(phaseChange);
    Logger::info(QStringLiteral("Cancelling updates..."));
    AppCoordinator& coordinator = m_coordinator;
    runAsync([&coordinator] { coordinator.cancelUpdates(); })
        .then(QCoreApplication::instance(), [](QFuture<void> future) {
            try {
                future.waitForFinished();
            } catch (...) {
                Logger::error(QStringLiteral("Cancelling updates failed: ") +
                              describeException(std::current_exception()));
            }
            Logger::info(QStringLiteral("Updates cancelled"));
        });
}

void UpdateBatchSession::handleProgress(int index, const UpdateProgress& progress)
{
    if (index < 0 || index >= m_applications.size() || !progress.application)
        return;
    unsigned changes = currentChange;
    m_currentIndex = index;
    m_currentProgress = progress;
    const QUuid id = progress.application->id();
    if (progress.status == UpdateProgress::Status::failed) {
        m_failedProgressMap.insert(id, progress);
        changes |= failedChange;
    }
    if (index > m_furthestIndex) {
        m_furthestIndex = index;
        const int before = completedAppsCount();
        settleBefore(index);
        if (completedAppsCount() != before)
            changes |= overallChange;
    }
    const auto selected = m_store.selectedApplication();
    if (selected && selected->id() == id) {
        m_mirrored = true;
        m_detailViewModel.setUpdateProgress(progress);
        m_detailViewModel.setIsUpdating(!m_hasCompleted && !isSettled(index));
    }
    Q_EMIT changed(changes);
}

void UpdateBatchSession::finish(const QList<Update::Result>& results)
{
    if (m_hasCompleted)
        return;
    m_observers.clear();
    m_results = results;
    // A batch whose every application lost its update, or left the list, before its turn ran
    // nothing either, but was not turned away.
    const bool ranNothing = results.isEmpty() && !m_cancelRequested->load() && m_furthestIndex < 0;
    const ApplicationList listed = listedNow(m_applications);
    const bool anyDue =
        std::any_of(listed.cbegin(), listed.cend(), [](const auto& a) { return a->update().has_value(); });
    m_wasRefused = ranNothing && anyDue;
    m_skippedAll = ranNothing && !anyDue && !m_applications.isEmpty();
    for (const Update::Result& result : results) {
        if (result.application)
            settle(m_positions.value(result.application->path(), -1));
    }
    m_isCancelling = false;
    m_isProcessing = false;
    m_hasCompleted = true;
    releaseDetailMirror();
    const auto successful = std::count_if(results.cbegin(), results.cend(), [](const auto& r) { return r.success; });
    Logger::info(QStringLiteral("Update queue complete: %1 successful, %2 failed")
                     .arg(successful)
                     .arg(results.size() - successful));
    Q_EMIT changed(phaseChange | overallChange);
}

void UpdateBatchSession::settle(int index)
{
    if (index < 0 || index >= m_applications.size() || m_settled.contains(index))
        return;
    m_settled.insert(index);
    const auto selected = m_store.selectedApplication();
    if (m_mirrored && selected && m_applications.at(index) && selected->id() == m_applications.at(index)->id())
        m_detailViewModel.setIsUpdating(false);
}

void UpdateBatchSession::settleBefore(int index)
{
    for (; m_settledThrough < index; ++m_settledThrough)
        settle(m_settledThrough);
}

void UpdateBatchSession::outcomeWritten(int index)
{
    if (!m_isProcessing || index > m_furthestIndex || isSettled(index))
        return;
    const auto update = m_applications.at(index)->update();
    if (update && update->status != Update::Status::failed)
        return;
    settle(index);
    Q_EMIT changed(overallChange);
}

void UpdateBatchSession::releaseDetailMirror()
{
    if (!m_mirrored)
        return;
    // A record left in flight (its last report was an output line) would keep the detail pane
    // saying "updating" for an application that has long finished.
    const auto shown = m_detailViewModel.updateProgress();
    if (shown && inFlight(shown->status) && shown->application &&
        m_positions.contains(shown->application->path()))
        m_detailViewModel.setUpdateProgress(std::nullopt);
    m_detailViewModel.setIsUpdating(false);
}

} // namespace norvelle
