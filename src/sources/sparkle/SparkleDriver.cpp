#include "sources/sparkle/SparkleDriver.h"

#include "model/NorvelleError.h"
#include "platform/updater/Updater.h"
#include "platform/updater/UpdaterFactory.h"
#include "util/Async.h"

namespace norvelle {

SparkleDriver::SparkleDriver(UpdaterBundle bundle, std::shared_ptr<const UpdaterFactory> factory)
    : m_bundle(std::move(bundle)), m_factory(std::move(factory))
{
}

SparkleDriver::~SparkleDriver() = default;

void SparkleDriver::askUpdatePermission(UpdaterReply<UpdatePermission> reply)
{
    reply(UpdatePermission{.automaticUpdateChecks = false, .sendSystemProfile = false});
}

void SparkleDriver::cycleFinished()
{
    // Queued like every other reaction, so an outcome that an earlier message posted
    // is delivered first.
    post([this] {
        if (!m_hasOutcome)
            closedWithoutOutcome();
        release();
    });
}

void SparkleDriver::stop()
{
    const std::shared_ptr<SparkleDriver> keepAlive = shared_from_this();
    // Waits for the updater's install thread, which notices the stop at its next step.
    m_updater.reset();
    if (!m_hasOutcome)
        stoppedWithoutOutcome();
    release();
}

std::exception_ptr SparkleDriver::launch()
{
    const std::shared_ptr<SparkleDriver> keepAlive = shared_from_this();
    std::unique_ptr<Updater> updater = m_factory->create(m_bundle.path(), *this, this);
    try {
        updater->start();
    } catch (...) {
        return std::current_exception();
    }
    m_updater = std::move(updater);
    m_self = keepAlive;
    if (!m_updater->checkForUpdates()) {
        // No cycle runs, so no message would ever end this one.
        release();
        return std::make_exception_ptr(NorvelleError::sparkleUpdateFailed());
    }
    return nullptr;
}

void SparkleDriver::post(std::function<void()> work)
{
    postToMainInTurn([self = shared_from_this(), work = std::move(work)] { work(); });
}

bool SparkleDriver::claimOutcome()
{
    if (m_hasOutcome)
        return false;
    m_hasOutcome = true;
    return true;
}

void SparkleDriver::release()
{
    // Ends the updater (its cycle is over) and lets go of this driver once the caller
    // holding it returns.
    const std::unique_ptr<Updater> updater = std::move(m_updater);
    m_self.reset();
}

} // namespace norvelle
