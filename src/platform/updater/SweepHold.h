#pragma once

#include "platform/file/FolderLock.h"

#include <QString>
#include <optional>
#include <sys/types.h>
#include <utility>

namespace norvelle {

// A sweep's hold on a staging folder, which the process's other sweeps know for what it is.
class SweepHold {
public:
    explicit SweepHold(const QString& staging);
    ~SweepHold();
    SweepHold(const SweepHold&) = delete;
    SweepHold& operator=(const SweepHold&) = delete;

    bool isHeld() const { return m_identity.has_value(); }

    // Whether a sweep of this process holds the folder at path.
    static bool isSweptHere(const QString& path);

private:
    std::optional<FolderLock> m_lock;
    std::optional<std::pair<dev_t, ino_t>> m_identity;
};

} // namespace norvelle
