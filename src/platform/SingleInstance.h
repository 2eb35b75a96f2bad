#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <utility>

class QFile;
class QFileSystemWatcher;
class QLockFile;

namespace norvelle {

struct Paths;

// One running copy per settings file, as a Mac application runs once: the copy that runs holds
// a lock beside the file; a later start on the same file finds it held, asks the running copy
// to come forward and ends. The request is a line appended to a second file beside the lock,
// which the running copy watches, and makes anew whenever its name is free. A lock left by a copy
// that died is taken over, or, where it cannot be removed, passed over; the copy that then runs
// without it holds it as its own and still watches the file. Starts claim the lock one at a time,
// however close together they come.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        claimed,       // this copy is the one that runs
        heldElsewhere, // another live copy runs, or is starting, on the same settings
        unavailable,   // no lock can be made there (a read-only folder, a dead copy's lock that cannot
                       // be removed, or what is no regular file at its name): nothing to hand over to
        busy,          // another process has kept the lock's folder past the wait, and none holds the
                       // lock: nothing tells whether a copy runs
    };

    explicit SingleInstance(QString settingsFile, QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // The settings file a copy with these paths uses: the named one, else the application's own.
    static QString settingsFileOf(const Paths& paths);

    // Whether a copy runs behind a lock that could not be taken: whether any process holds it,
    // whatever pid it names. One from another machine counts as running, as nothing here can
    // tell whether it does.
    static bool ownerRuns(const QString& lockPath);
    // The machine that a lock from another machine names, in words for saying who holds it: its
    // host ("another machine also named …" where it is this machine's), or its id where it names
    // no host; empty for this machine's, and for a file that is no lock (names no pid).
    static QString otherMachine(const QString& lockPath);

    // Takes the lock at path: at once, or, when its owner does not run (ownerRuns), by removing
    // the lock and taking it. The launcher's own lock is taken the same way, and let go by release.
    static Claim take(QLockFile& lock, const QString& path);
    static void release(std::unique_ptr<QLockFile> lock);

    // Takes the lock, once. The copy then hears every activation request, as does one that runs
    // without the lock, where the request file can be made or read; such a copy holds a dead
    // copy's lock that it could not remove, so that later starts ask it rather than run.
    Claim claim();
    // Asks the copy that holds the lock to come forward. False when the request cannot be left.
    bool requestActivation() const;

    // Whether this copy, running without the lock, holds a dead copy's in its place.
    bool holdsStaleLock() const { return m_heldFile && !m_lock; }
    const QString& settingsFile() const { return m_settingsFile; }
    QString lockPath() const { return m_settingsFile + QStringLiteral(".running"); }
    QString requestPath() const { return m_settingsFile + QStringLiteral(".activate"); }

Q_SIGNALS:
    // Another start asked this copy to come forward.
    void activationRequested();

private:
    using FileId = std::pair<quint64, quint64>; // device, inode

    void listen();
    // Holds the lock file where QLockFile does not: held when it could, else whether another does.
    Claim holdLockFile(Claim held);
    void followRequestFile();

    const QString m_settingsFile;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QFile> m_heldFile; // the lock file, where QLockFile does not hold it
    // The request file this copy made, while its name holds it: kept open, so that no file made
    // later gets its inode while it is taken for ours.
    int m_made = -1;
    std::optional<FileId> m_heard; // the file at the request file's name, once seen
    qint64 m_requestsSeen = 0;
    bool m_hearing = true; // so that the log says once that later starts are not heard
    QFileSystemWatcher* m_watcher = nullptr; // the folder, and the file at the name while it is ours
};

} // namespace norvelle
