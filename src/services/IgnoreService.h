#pragma once

#include <QByteArray>
#include <QFuture>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <memory>
#include <mutex>

namespace norvelle {

class Application;

// The user's ignored applications and skipped versions, kept in "ignored.json"
// in the support folder and written after every change. Creating the service
// starts a background task that prepares the folder and loads the file.
// Thread-safe; the public operations block and are meant for worker threads.
class IgnoreService {
public:
    // What the file holds: a JSON object with exactly the members "ignoredApps"
    // (array of strings, read as a set) and "ignoredVersions" (object of strings).
    struct StoredIgnoreData {
        QSet<QString> ignoredApps;
        QMap<QString, QString> ignoredVersions;

        // Compact UTF-8 JSON, members in the order "ignoredApps", "ignoredVersions".
        QByteArray encode() const;
        // Throws norvelle::Error when the bytes are not such an object.
        static StoredIgnoreData decode(const QByteArray& bytes);
    };

    static constexpr const char* fileName = "ignored.json";
    static constexpr const char* corruptSuffix = ".corrupt";

    explicit IgnoreService(QString supportFolder);
    virtual ~IgnoreService();
    IgnoreService(const IgnoreService&) = delete;
    IgnoreService& operator=(const IgnoreService&) = delete;

    // Each mutator reads the file again under a lock shared with other processes, changes
    // what it holds, saves, and logs; the lists then hold what was saved. A failed save throws
    // and leaves the lists as the file holds them.
    virtual void ignoreApp(const QString& bundleIdentifier);
    virtual void unignoreApp(const QString& bundleIdentifier);
    virtual void ignoreVersion(const QString& bundleIdentifier, const QString& version);
    virtual void unignoreVersion(const QString& bundleIdentifier);

    // Writes `ignored`, `skippedVersion` and the effect on `update` and `cask`
    // into freshly discovered applications; returns the same list.
    virtual QList<std::shared_ptr<Application>>
    applyIgnoreState(QList<std::shared_ptr<Application>> applications);

    QSet<QString> ignoredApps() const;
    QMap<QString, QString> ignoredVersions() const;
    bool isLoaded() const;
    QString storagePath() const { return m_storagePath; }
    QString supportFolder() const { return m_supportFolder; }

    // Waits until the start-up task has finished (tests, orderly shutdown).
    void waitForStartup();

private:
    void startup();
    bool needsLoad() const;
    void ensureLoaded();
    void loadLocked(bool reread = false);
    void moveAsideLocked();
    void saveLocked(const StoredIgnoreData& data);
    template <typename Change> void mutate(Change change);

    const QString m_supportFolder;
    const QString m_storagePath;

    // Serialises every use of the file (load, save); held across the file I/O.
    std::mutex m_fileMutex;
    // Guards the lists and flags below; never held across I/O or observer calls.
    mutable std::mutex m_mutex;
    StoredIgnoreData m_data;
    bool m_isLoaded = false;
    // The file existed but could not be read: the next mutator reads it again
    // rather than overwrite entries it never saw.
    bool m_unreadable = false;
    QString m_readFailure;

    QFuture<void> m_startup;
};

} // namespace norvelle
