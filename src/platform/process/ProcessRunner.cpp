#include "platform/process/ProcessRunner.h"

#include "platform/process/ProcessGroups.h"
#include "platform/process/ProcessLaunchError.h"

#include <QProcess>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace norvelle {

namespace {

using Clock = std::chrono::steady_clock;

// One end of a pipe, closed when it goes out of scope.
class Fd {
public:
    Fd() = default;
    ~Fd() { close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void reset(int fd)
    {
        close();
        m_fd = fd;
    }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

// Both ends close on exec, so no other child ever inherits them; the child we start gets its
// write end through dup2, which clears the flag on the copy.
void openPipe(Fd& readEnd, Fd& writeEnd)
{
    int fds[2];
#ifdef __linux__
    const int rc = ::pipe2(fds, O_CLOEXEC);
#else
    const int rc = ::pipe(fds);
    if (rc == 0) {
        ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
    }
#endif
    if (rc != 0)
        throw ProcessLaunchError(QStringLiteral("pipe: ") + QString::fromLocal8Bit(std::strerror(errno)));
    readEnd.reset(fds[0]);
    writeEnd.reset(fds[1]);
}

void configure(QProcess& process, const ProcessRequest& request)
{
    process.setProgram(request.program);
    process.setArguments(request.arguments);
    process.setProcessEnvironment(request.environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::SeparateChannels);
}

void startOrThrow(QProcess& process)
{
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1))
        throw ProcessLaunchError(process.errorString());
}

// The child called setsid, so its process group has its pid; the test guards against ever
// signalling our own group should that have failed.
void killProcessGroup(qint64 pid)
{
    if (pid <= 0)
        return;
    const auto id = static_cast<pid_t>(pid);
    if (::getpgid(id) == id)
        ::kill(-id, SIGKILL);
    else
        ::kill(id, SIGKILL);
}

void fillExit(const QProcess& process, ProcessResult& result)
{
    result.crashed = process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitCode();
}

int toTimeout(std::chrono::milliseconds ms)
{
    if (ms.count() <= 0)
        return -1;
    return static_cast<int>(std::min<long long>(ms.count(), INT_MAX));
}

// Reads the two output pipes of a streamed run until both reach end of file, or until the
// grace period after the child's exit (signalled by the wake pipe closing) runs out.
class StreamReader {
public:
    StreamReader(int outFd, int errFd, int wakeFd, std::chrono::milliseconds grace,
                 const ProcessRunner::ChunkHandler& onChunk, const ProcessRunner::EndHandler& onEnd)
        : m_streams{{outFd, ProcessChannel::standardOutput, true},
                    {errFd, ProcessChannel::standardError, true}},
          m_wakeFd(wakeFd), m_grace(grace), m_onChunk(onChunk), m_onEnd(onEnd)
    {
    }

    void run()
    {
        while (anyOpen()) {
            int timeout = -1;
            if (m_deadline) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(*m_deadline - Clock::now());
                if (left.count() <= 0)
                    break;
                timeout = toTimeout(left);
            }
            pollfd fds[3];
            int count = 0;
            for (const Stream& s : m_streams)
                if (s.open)
                    fds[count++] = {s.fd, POLLIN, 0};
            const int wakeIndex = m_deadline ? -1 : count;
            if (!m_deadline)
                fds[count++] = {m_wakeFd, POLLIN, 0};
            const int ready = ::poll(fds, static_cast<nfds_t>(count), timeout);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0)
                break;
            for (int i = 0; i < count; ++i) {
                if (i == wakeIndex || fds[i].revents == 0)
                    continue;
                readOnce(streamFor(fds[i].fd));
            }
            if (wakeIndex >= 0 && fds[wakeIndex].revents != 0)
                m_deadline = Clock::now() + m_grace;
        }
        drainReady();
        for (Stream& s : m_streams)
            if (s.open)
                end(s);
    }

    std::exception_ptr handlerError() const { return m_error; }
    // When output last arrived (or the reader was made), for the inactivity limit.
    Clock::time_point lastActivity() const
    {
        return Clock::time_point(Clock::duration(m_lastActivity.load()));
    }

private:
    struct Stream {
        int fd;
        ProcessChannel channel;
        bool open;
    };

    bool anyOpen() const { return m_streams[0].open || m_streams[1].open; }

    Stream& streamFor(int fd) { return m_streams[0].fd == fd ? m_streams[0] : m_streams[1]; }

    void readOnce(Stream& s)
    {
        const ssize_t got = ::read(s.fd, m_buffer, sizeof m_buffer);
        if (got > 0) {
            m_lastActivity = Clock::now().time_since_epoch().count();
            deliver([&] { m_onChunk(s.channel, QByteArrayView(m_buffer, got)); });
        }
        else if (got == 0 || (errno != EINTR && errno != EAGAIN))
            end(s);
    }

    // What already sits in the pipes when the grace period ends is still handed over, within
    // a bound, so a descendant that writes without pause cannot keep us here.
    void drainReady()
    {
        for (int round = 0; round < 64 && anyOpen(); ++round) {
            bool any = false;
            for (Stream& s : m_streams) {
                if (!s.open)
                    continue;
                pollfd fd{s.fd, POLLIN, 0};
                if (::poll(&fd, 1, 0) > 0 && fd.revents != 0) {
                    readOnce(s);
                    any = true;
                }
            }
            if (!any)
                return;
        }
    }

    void end(Stream& s)
    {
        s.open = false;
        deliver([&] { m_onEnd(s.channel); });
    }

    template <typename F> void deliver(F&& call)
    {
        if (m_error)
            return;
        try {
            call();
        } catch (...) {
            m_error = std::current_exception();
        }
    }

    Stream m_streams[2];
    int m_wakeFd;
    std::chrono::milliseconds m_grace;
    const ProcessRunner::ChunkHandler& m_onChunk;
    const ProcessRunner::EndHandler& m_onEnd;
    std::optional<Clock::time_point> m_deadline;
    std::atomic<Clock::rep> m_lastActivity{Clock::now().time_since_epoch().count()};
    std::exception_ptr m_error;
    char m_buffer[65536];
};

// Waits for the child while watching both limits (zero: none); on expiry kills its process group.
// Returns whether a limit ran out.
bool waitWithLimits(QProcess& process, const StreamReader& reader, std::chrono::milliseconds timeLimit,
                    std::chrono::milliseconds inactivityLimit)
{
    const Clock::time_point started = Clock::now();
    for (;;) {
        std::optional<Clock::time_point> deadline;
        if (timeLimit.count() > 0)
            deadline = started + timeLimit;
        if (inactivityLimit.count() > 0) {
            const Clock::time_point quiet = reader.lastActivity() + inactivityLimit;
            deadline = deadline ? std::min(*deadline, quiet) : quiet;
        }
        int wait = -1;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
            if (left.count() <= 0) {
                killProcessGroup(process.processId());
                process.waitForFinished(-1);
                return true;
            }
            wait = toTimeout(left);
        }
        if (process.waitForFinished(wait) || process.state() == QProcess::NotRunning)
            return false;
    }
}

// Our own pipes instead of QProcess's: QProcess stops reading when the child exits, and we want
// what descendants still write during the grace period.
ProcessResult runWithPipes(const ProcessRequest& request, const ProcessRunner::ChunkHandler& onChunk,
                           const ProcessRunner::EndHandler& onEnd, std::chrono::milliseconds gracePeriod,
                           std::chrono::milliseconds timeLimit, std::chrono::milliseconds inactivityLimit)
{
    Fd outRead, outWrite, errRead, errWrite, wakeRead, wakeWrite;
    openPipe(outRead, outWrite);
    openPipe(errRead, errWrite);
    openPipe(wakeRead, wakeWrite);

    QProcess process;
    configure(process, request);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const int childOut = outWrite.get();
    const int childErr = errWrite.get();
    const int niceness = request.niceness;
    // Runs in the child after QProcess has set up its channels: replaces the null device on
    // 1 and 2 with our pipes. Only async-signal-safe calls here.
    process.setChildProcessModifier([childOut, childErr, niceness] {
        if (niceness > ::getpriority(PRIO_PROCESS, 0))
            ::setpriority(PRIO_PROCESS, 0, niceness);
        ::setsid();
        ::dup2(childOut, STDOUT_FILENO);
        ::dup2(childErr, STDERR_FILENO);
    });
    startOrThrow(process);
    const ProcessGroups::Guard group(process.processId());
    outWrite.close();
    errWrite.close();

    StreamReader reader(outRead.get(), errRead.get(), wakeRead.get(), gracePeriod, onChunk, onEnd);
    std::thread readerThread([&reader] { reader.run(); });
    ProcessResult result;
    result.timedOut = waitWithLimits(process, reader, timeLimit, inactivityLimit);
    wakeWrite.close();
    readerThread.join();

    fillExit(process, result);
    if (reader.handlerError())
        std::rethrow_exception(reader.handlerError());
    return result;
}

} // namespace

ProcessResult ProcessRunner::runCaptured(const ProcessRequest& request, std::chrono::milliseconds timeLimit,
                                         std::chrono::milliseconds gracePeriod)
{
    QByteArray out;
    QByteArray err;
    ProcessResult result = runWithPipes(
        request,
        [&](ProcessChannel channel, QByteArrayView chunk) {
            (channel == ProcessChannel::standardOutput ? out : err).append(chunk);
        },
        [](ProcessChannel) {}, gracePeriod, timeLimit, std::chrono::milliseconds(0));
    result.standardOutput = std::move(out);
    result.standardError = std::move(err);
    return result;
}

ProcessResult ProcessRunner::runStreamed(const ProcessRequest& request, const ChunkHandler& onChunk,
                                         const EndHandler& onEnd, std::chrono::milliseconds gracePeriod,
                                         std::chrono::milliseconds inactivityLimit)
{
    return runWithPipes(request, onChunk, onEnd, gracePeriod, std::chrono::milliseconds(0), inactivityLimit);
}

} // namespace norvelle
