#pragma once

#include "platform/process/ProcessRequest.h"
#include "platform/process/ProcessResult.h"

#include <QByteArrayView>
#include <chrono>
#include <functional>

namespace norvelle {

// Runs outside programs on the calling (worker) thread and blocks until they end.
//
// Every child gets standard input from the null device, separate pipes for standard output and
// standard error, and starts in a session of its own (setsid), so it holds no terminal and a
// password prompt cannot wait for input, and its whole process group can be killed at once.
class ProcessRunner {
public:
    using ChunkHandler = std::function<void(ProcessChannel, QByteArrayView chunk)>;
    using EndHandler = std::function<void(ProcessChannel)>;

    static constexpr std::chrono::milliseconds defaultGracePeriod{2000};

    // Runs the program to its end and returns both outputs, including what descendants still write
    // within gracePeriod after it has exited. When timeLimit (if positive) runs out, the child's
    // process group is killed and the result says timedOut.
    // Throws ProcessLaunchError when the program cannot be started.
    static ProcessResult runCaptured(const ProcessRequest& request, std::chrono::milliseconds timeLimit,
                                     std::chrono::milliseconds gracePeriod = defaultGracePeriod);

    // Runs the program and hands each chunk of output to onChunk as it arrives, then calls onEnd
    // once per channel when that channel reaches end of file. Both are called on one reader
    // thread, one call at a time. There is no overall time limit; only a child that writes nothing
    // on either channel for inactivityLimit (if positive) has its process group killed, and the
    // result says timedOut. Once it has exited, the reader waits at most gracePeriod for
    // descendants that keep the pipes open, then ends both channels. The result carries no output.
    // Throws ProcessLaunchError when the program cannot be started; an exception thrown by a
    // handler stops further delivery and is rethrown once the child has exited.
    static ProcessResult runStreamed(const ProcessRequest& request, const ChunkHandler& onChunk,
                                     const EndHandler& onEnd,
                                     std::chrono::milliseconds gracePeriod = defaultGracePeriod,
                                     std::chrono::milliseconds inactivityLimit = std::chrono::milliseconds(0));

private:
    ProcessRunner() = delete;
};

} // namespace norvelle
