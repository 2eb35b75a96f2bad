#pragma once

#include <QString>
#include <chrono>

namespace norvelle {

// An exclusive lock on a folder, held while the object lives, taken at once or within the time
// given while another holds it. An install holds one on its staging folder and on the bundle it
// moves aside, so that a sweep for leftovers (in this process or another copy) leaves them alone;
// a start claims the lock of the one copy that runs under one (SingleInstance). The lock belongs
// to the folder, not its name, so it follows a rename; the kernel drops it when the process dies,
// however it dies, which is what tells a killed install's leftovers from a running one's.
class FolderLock {
public:
    // With a standIn, where the folder cannot be opened (one that grants writing but not
    // reading), the file of that name inside it, made where missing, is held in its place: every
    // holder names the same.
    explicit FolderLock(const QString& path, std::chrono::milliseconds wait = {}, const QString& standIn = {});
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Held only while the path still names the folder (or file) that was locked.
    bool isHeld() const { return m_fd >= 0; }
    // Someone else holds it (still, after the wait).
    bool isBusy() const { return m_busy; }

private:
    int m_fd = -1;
    bool m_busy = false;
};

} // namespace norvelle
