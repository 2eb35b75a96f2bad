#include "app/QuitSequence.h"

#include "platform/process/ProcessGroups.h"
#include "platform/updater/InstallRecovery.h"
#include "util/Async.h"
#include "platform/Logger.h"

#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>

namespace norvelle {

namespace {

int toInt(std::chrono::milliseconds ms)
{
    return static_cast<int>(std::max<long long>(0, ms.count()));
}

// Both pools within one wait: web requests hand their answers over on a pool of their own.
bool poolsDrained(std::chrono::milliseconds wait)
{
    QElapsedTimer clock;
    clock.start();
    if (!ioPool().waitForDone(toInt(wait)))
        return false;
    return networkPool().waitForDone(toInt(wait - std::chrono::milliseconds(clock.elapsed())));
}

} // namespace

bool QuitSequence::endRunningWork(const Timing& timing)
{
    const int tools = ProcessGroups::terminateAll(SIGTERM);
    if (tools > 0)
        Logger::info(QStringLiteral("Quitting: stopping ") + QString::number(tools) +
                     QStringLiteral(" running tool(s)"));
    if (poolsDrained(timing.gracePeriod))
        return true;

    const int stubborn = ProcessGroups::terminateAll(SIGKILL);
    if (stubborn > 0)
        Logger::warning(QStringLiteral("Quitting: killing ") + QString::number(stubborn) +
                        QStringLiteral(" tool(s) that did not stop"));
    return poolsDrained(timing.killWait);
}

namespace {

[[noreturn]] void leaveWithoutStatics(int status)
{
    std::fflush(nullptr);
    std::quick_exit(status);
}

} // namespace

void QuitSequence::leaveNow(int status)
{
    Logger::warning(QStringLiteral("Quitting while work is still running; leaving without cleanup"));
    leaveWithoutStatics(status);
}

int QuitSequence::finish(int status)
{
    if (InstallRecovery::sweepingInBackground())
        leaveWithoutStatics(status);
    return status;
}

} // namespace norvelle
