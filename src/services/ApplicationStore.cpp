#include "services/ApplicationStore.h"

#include "platform/DockBadge.h"

#include <QThread>

namespace norvelle {

ApplicationStore::ApplicationStore(std::shared_ptr<DockBadge> dockBadge, QObject* parent)
    : QObject(parent), m_dockBadge(std::move(dockBadge))
{
}

ApplicationStore::~ApplicationStore()
{
    // Unregistering waits for an observer call running on a worker, so none can
    // reach this object once the tokens are gone.
    m_observers.clear();
}

void ApplicationStore::setApplications(ApplicationList applications)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const bool changed = !sameApplications(m_applications, applications);
    m_applications = std::move(applications);
    observeListedApplications();
    m_withUpdates.clear();
    for (const auto& application : m_applications) {
        if (application)
            recountUpdate(*application);
    }
    updateDockBadge();
    if (changed) {
        Q_EMIT applicationsChanged();
    }
}

void ApplicationStore::setSelectedApplicationId(std::optional<QUuid> id)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const bool changed = m_selectedApplicationId != id;
    m_selectedApplicationId = id;
    if (changed) {
        Q_EMIT selectedApplicationIdChanged();
    }
}

void ApplicationStore::setEnvironmentStatus(std::optional<EnvironmentStatus> status)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const bool changed = m_environmentStatus != status;
    m_environmentStatus = std::move(status);
    if (changed) {
        Q_EMIT environmentStatusChanged();
    }
}

void ApplicationStore::setLastUpdateCheck(std::optional<QDateTime> time)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const bool changed = m_lastUpdateCheck != time;
    m_lastUpdateCheck = std::move(time);
    if (changed) {
        Q_EMIT lastUpdateCheckChanged();
    }
}

void ApplicationStore::setSourceFailures(QList<SourceFailure> failures)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const bool changed = m_sourceFailures != failures;
    m_sourceFailures = std::move(failures);
    if (changed) {
        Q_EMIT sourceFailuresChanged();
    }
}

QHash<QUrl, std::shared_ptr<Application>> ApplicationStore::applicationsByPath() const
{
    QHash<QUrl, std::shared_ptr<Application>> listed;
    listed.reserve(m_applications.size());
    for (const std::shared_ptr<Application>& application : m_applications) {
        if (application)
            listed.insert(application->path(), application);
    }
    return listed;
}

ApplicationStore::ApplicationList ApplicationStore::applicationsWithUpdates() const
{
    ApplicationList result;
    // Only the list and the count's set are touched: reading every application's own state cost
    // the main thread 20 ms with 4,000 of them, each call, while a check wrote them back.
    for (const auto& application : m_applications) {
        if (application && m_withUpdates.contains(application.get())) {
            result.append(application);
        }
    }
    return result;
}

std::shared_ptr<Application> ApplicationStore::selectedApplication() const
{
    if (!m_selectedApplicationId) {
        return nullptr;
    }
    for (const auto& application : m_applications) {
        if (application && application->id() == *m_selectedApplicationId) {
            return application;
        }
    }
    return nullptr;
}

void ApplicationStore::updateDockBadge()
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (!m_dockBadge) {
        return;
    }
    const auto count = static_cast<int>(applicationsWithUpdates().size());
    m_dockBadge->setCount(count < 1 ? std::nullopt : std::optional<int>(count));
}

void ApplicationStore::observeListedApplications()
{
    std::unordered_map<const Application*, ObserverToken> next;
    for (const auto& application : m_applications) {
        if (!application || next.contains(application.get())) {
            continue;
        }
        auto existing = m_observers.find(application.get());
        if (existing != m_observers.end()) {
            next.emplace(application.get(), std::move(existing->second));
            continue;
        }
        std::weak_ptr<Application> weak = application;
        next.emplace(application.get(), application->addObserver([this, weak](Application::Field field) {
            forwardChange(weak, field);
        }));
    }
    // The tokens left behind unregister the applications that are no longer listed.
    m_observers.swap(next);
}

void ApplicationStore::recountUpdate(const Application& application)
{
    if (application.update().has_value() && !application.ignored())
        m_withUpdates.insert(&application);
    else
        m_withUpdates.erase(&application);
}

// Runs on the setter's thread. A change made on the main thread is signalled at
// once; one made elsewhere hops there first.
void ApplicationStore::forwardChange(const std::weak_ptr<Application>& application, Application::Field field)
{
    auto emitIfListed = [this, application, field] {
        const std::shared_ptr<Application> strong = application.lock();
        if (!strong || !m_observers.contains(strong.get()))
            return;
        if (field == Application::Field::update || field == Application::Field::ignored)
            recountUpdate(*strong);
        Q_EMIT applicationChanged(strong, field);
        if (!m_updatedPending) {
            m_updatedPending = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_updatedPending = false;
                    Q_EMIT applicationsUpdated();
                },
                Qt::QueuedConnection);
        }
    };
    if (QThread::currentThread() == thread()) {
        emitIfListed();
    } else {
        QMetaObject::invokeMethod(this, emitIfListed, Qt::QueuedConnection);
    }
}

} // namespace norvelle
