#include "platform/updater/SweepHold.h"

#include <QFile>
#include <mutex>
#include <set>
#include <sys/stat.h>

namespace norvelle {

namespace {

// Staging folders that this process's sweeps hold, by device and inode: an install holds its own
// for all of its run, so a folder held by a sweep here must not be taken for an install's.
std::mutex sweptMutex;
std::set<std::pair<dev_t, ino_t>> sweptHere;

std::optional<std::pair<dev_t, ino_t>> identityOf(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return std::pair(info.st_dev, info.st_ino);
}

} // namespace

SweepHold::SweepHold(const QString& staging)
{
    m_lock.emplace(staging);
    if (m_lock->isHeld())
        m_identity = identityOf(staging);
    if (m_identity) {
        const std::lock_guard lock(sweptMutex);
        sweptHere.insert(*m_identity);
    }
}

SweepHold::~SweepHold()
{
    m_lock.reset(); // let go first, so that nobody meanwhile takes the hold for an install's
    if (m_identity) {
        const std::lock_guard lock(sweptMutex);
        sweptHere.erase(*m_identity);
    }
}

bool SweepHold::isSweptHere(const QString& path)
{
    const std::optional<std::pair<dev_t, ino_t>> identity = identityOf(path);
    const std::lock_guard lock(sweptMutex);
    return identity && sweptHere.count(*identity) > 0;
}

} // namespace norvelle
