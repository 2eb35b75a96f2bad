#pragma once

#include "platform/updater/UpdaterBundle.h"
#include "platform/updater/UpdaterDelegate.h"
#include "platform/updater/UpdaterUserDriver.h"

#include <exception>
#include <functional>
#include <memory>

namespace norvelle {

class Updater;
class UpdaterFactory;

// What the update checker and the install operation share. Each plays user driver and
// delegate for one update cycle of another application's updater, on the main thread.
//
// Once started, a driver keeps itself, and so its updater, alive until the cycle's
// end (cycleFinished) or stop(): whoever started it may let go at once, but whoever may
// have to stop it when quitting keeps a weak_ptr. Its outcome is delivered
// once; a second terminal message is ignored, and a cycle that closes without any ends
// as failed, so nobody waits for an outcome that never comes. Stalls need no timer here:
// the updater's own idle time-outs end them with an error.
//
// Own a driver through a std::shared_ptr, and create, start and call it on the main thread.
class SparkleDriver : public UpdaterUserDriver,
                      public UpdaterDelegate,
                      public std::enable_shared_from_this<SparkleDriver> {
public:
    ~SparkleDriver() override;
    SparkleDriver(const SparkleDriver&) = delete;
    SparkleDriver& operator=(const SparkleDriver&) = delete;

    // No automatic checks, no system profile.
    void askUpdatePermission(UpdaterReply<UpdatePermission> reply) override;
    void cycleFinished() override;

    // For quitting, on the main thread once its loop has ended, when no message reaches a
    // driver any more: stops the updater at once (an install that is swapping the bundle
    // finishes the swap first), ends a cycle still without an outcome as cancelled
    // (CancelledError) and lets go of the driver.
    void stop();

protected:
    SparkleDriver(UpdaterBundle bundle, std::shared_ptr<const UpdaterFactory> factory);

    // Creates the updater, starts it and begins a check. Returns the error when the
    // updater cannot start or refuses the check; nothing is kept then.
    std::exception_ptr launch();

    // Runs work on the main thread once the current message is handled, in posting
    // order, with the driver kept alive until then.
    void post(std::function<void()> work);

    bool hasOutcome() const { return m_hasOutcome; }
    // True the first time only; the caller then delivers the outcome.
    bool claimOutcome();

    // The cycle closed before any outcome was delivered.
    virtual void closedWithoutOutcome() = 0;
    // The cycle was stopped for quitting before any outcome was delivered: deliver the
    // cancellation, and report nothing else.
    virtual void stoppedWithoutOutcome() = 0;

    const UpdaterBundle& bundle() const { return m_bundle; }

private:
    void release();

    UpdaterBundle m_bundle;
    std::shared_ptr<const UpdaterFactory> m_factory;
    std::unique_ptr<Updater> m_updater;
    std::shared_ptr<SparkleDriver> m_self;
    bool m_hasOutcome = false;
};

} // namespace norvelle
