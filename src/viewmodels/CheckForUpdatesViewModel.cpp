#include "viewmodels/CheckForUpdatesViewModel.h"

#include "platform/updater/Updater.h"
#include "platform/updater/UpdaterFactory.h"
#include "util/Error.h"
#include "platform/Logger.h"

namespace norvelle {

CheckForUpdatesViewModel::CheckForUpdatesViewModel(std::shared_ptr<Updater> updater, QObject* parent)
    : QObject(parent), m_updater(std::move(updater))
{
    if (!m_updater) {
        Logger::info(
            QStringLiteral("Check for Updates is unavailable: this build has no updater of its own"));
        return;
    }
    // The first reading is there before anything is drawn.
    setCanCheckForUpdates(m_updater->canCheckForUpdates());
    m_pollTimer.setInterval(pollInterval);
    connect(&m_pollTimer, &QTimer::timeout, this, &CheckForUpdatesViewModel::poll);
    m_pollTimer.start();
}

CheckForUpdatesViewModel::~CheckForUpdatesViewModel() = default;

void CheckForUpdatesViewModel::checkForUpdates()
{
    if (m_updater && m_updater->canCheckForUpdates())
        m_updater->checkForUpdates();
}

std::shared_ptr<Updater> CheckForUpdatesViewModel::startOwnUpdater(const UpdaterFactory& factory,
                                                                   const QString& bundlePath,
                                                                   UpdaterUserDriver& driver)
{
    try {
        std::shared_ptr<Updater> updater = factory.create(bundlePath, driver, nullptr);
        updater->start();
        return updater;
    } catch (const std::exception& e) {
        Logger::info(QStringLiteral("Own updates are unavailable: ") + describeException(e));
        return nullptr;
    }
}

void CheckForUpdatesViewModel::poll()
{
    setCanCheckForUpdates(m_updater->canCheckForUpdates());
}

void CheckForUpdatesViewModel::setCanCheckForUpdates(bool value)
{
    if (m_canCheckForUpdates == value)
        return;
    m_canCheckForUpdates = value;
    Q_EMIT canCheckForUpdatesChanged(value);
}

} // namespace norvelle
