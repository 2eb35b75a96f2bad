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

// Root ignores mode bits. Where the tests run as root, the user nobody is given the folder and all
// in it, and the process acts as that user while this lives; as another user, nothing changes.
class AsUser {
public:
    explicit AsUser(const QString& folder);
    ~AsUser();
    Q_DISABLE_COPY_MOVE(AsUser)
    bool isValid() const { return m_valid; }

private:
    bool m_root = false, m_valid = true;
};

} // namespace norvelle::test
