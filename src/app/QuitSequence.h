#pragma once

#include <chrono>

namespace norvelle {

// What the application does between the end of its event loop and the destruction of its
// objects. Work that is still running may use any of them (services, the store, the logger),
// so nothing is torn down before it has ended:
//
//   1. the loop has ended, so no worker can hop to the main thread any more (invokeOnMain
//      throws CancelledError, postToMain drops its call) and the workers unwind;
//   2. the running tools' process groups get SIGTERM, and every tool started from now on is
//      killed at once;
//   3. the I/O pool is given `gracePeriod` to drain; groups still there then get SIGKILL and
//      the pool gets `killWait` more.
//
// When the pool is still busy after that, the caller must not run destructors: it calls
// leaveNow(), which flushes the logs and ends the process without them.
class QuitSequence {
public:
    struct Timing {
        std::chrono::milliseconds gracePeriod{2500};
        std::chrono::milliseconds killWait{1500};
    };

    // Call on the main thread after the event loop has returned. True when no work runs any
    // more, so the objects may be destroyed.
    static bool endRunningWork(const Timing& timing);
    static bool endRunningWork() { return endRunningWork(Timing{}); }

    // Logs why, flushes every log and leaves with `status`, running no destructor.
    [[noreturn]] static void leaveNow(int status);
    // Once every object of ours is gone: `status`, for main to return; but while a thread that was
    // let go (InstallRecovery::sweepInBackground) still runs, flushes and leaves with `status` at
    // once, without destroying the statics it may still use.
    static int finish(int status);
};

} // namespace norvelle
