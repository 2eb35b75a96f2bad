#pragma once

#include <QByteArray>

namespace norvelle {

enum class ProcessChannel { standardOutput, standardError };

// How a child ended. A crash (killed by a signal) is never a success, whatever exitCode says.
struct ProcessResult {
    // The exit status; after a crash, the terminating signal as the platform reports it.
    int exitCode = 0;
    bool crashed = false;
    // A run that hit its time limit (captured) or stayed silent too long (streamed): its process
    // group was killed.
    bool timedOut = false;
    // Captured runs only: everything the child wrote before it ended.
    QByteArray standardOutput;
    QByteArray standardError;

    bool succeeded() const { return !crashed && !timedOut && exitCode == 0; }
};

} // namespace norvelle
