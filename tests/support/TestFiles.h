#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <limits>

namespace norvelle::test {

// The whole content of a file; empty when it cannot be read.
QByteArray readFile(const QString& path);

// Every entry directly in a folder, hidden ones included, to prove nothing was left behind.
QStringList entriesIn(const QString& directory);

// Leaves at `path` the lock file (QLockFile) of a process that has ended since, as a copy
// that was killed an hour ago leaves it, or of `pid`, with lines replaced as named ("host=…", "machine=…",
// "boot=…"). True when it is there.
bool writeStaleLock(const QString& path, qint64 pid = std::numeric_limits<int>::max(),
                    const QStringList& replaced = {});

} // namespace norvelle::test
