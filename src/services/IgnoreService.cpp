#include "services/IgnoreService.h"

#include "model/Application.h"
#include "platform/file/SafeFile.h"
#include "util/Async.h"
#include "util/Error.h"
#include "platform/Logger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <chrono>

namespace norvelle {

namespace {

const QString appsKey = QStringLiteral("ignoredApps");
const QString versionsKey = QStringLiteral("ignoredVersions");
// Far beyond any real list; a larger file is not read whole into memory.
constexpr qint64 maximumFileSize = 16 * 1024 * 1024;
// A writer holds the lock for one read and one write; one that holds it longer has hung.
constexpr std::chrono::seconds lockTimeout{5};

QString lockFailure(const QLockFile& lock, const QString& path)
{
    switch (lock.error()) {
    case QLockFile::LockFailedError:
        return QStringLiteral("another writer holds the lock ") + path;
    case QLockFile::PermissionError:
        return QStringLiteral("no permission to create the lock ") + path;
    default:
        return QStringLiteral("could not create the lock ") + path + QStringLiteral(" (is the disk full?)");
    }
}

QString countsText(const IgnoreService::StoredIgnoreData& data)
{
    return QString::number(data.ignoredApps.size()) + QStringLiteral(" ignored apps and ") +
           QString::number(data.ignoredVersions.size()) + QStringLiteral(" ignored versions");
}

} // namespace

QByteArray IgnoreService::StoredIgnoreData::encode() const
{
    QJsonArray apps;
    for (const QString& app : ignoredApps) {
        apps.append(app);
    }
    QJsonObject versions;
    for (auto it = ignoredVersions.cbegin(); it != ignoredVersions.cend(); ++it) {
        versions.insert(it.key(), it.value());
    }
    // QJsonObject writes its keys in sorted order, which puts "ignoredApps" first.
    QJsonObject root;
    root.insert(appsKey, apps);
    root.insert(versionsKey, versions);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

IgnoreService::StoredIgnoreData IgnoreService::StoredIgnoreData::decode(const QByteArray& bytes)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        throw Error(QStringLiteral("The data is not valid JSON (%1 at offset %2)")
                        .arg(parseError.errorString())
                        .arg(parseError.offset));
    }
    if (!document.isObject()) {
        throw Error(QStringLiteral("The data is not a JSON object"));
    }
    const QJsonObject root = document.object();
    const QJsonValue apps = root.value(appsKey);
    const QJsonValue versions = root.value(versionsKey);
    for (const auto& [key, value] : {std::pair{appsKey, apps}, std::pair{versionsKey, versions}}) {
        if (value.isUndefined() || value.isNull()) {
            throw Error(QStringLiteral("The member \"%1\" is missing").arg(key));
        }
    }
    if (!apps.isArray()) {
        throw Error(QStringLiteral("The member \"%1\" is not an array").arg(appsKey));
    }
    if (!versions.isObject()) {
        throw Error(QStringLiteral("The member \"%1\" is not an object").arg(versionsKey));
    }
    StoredIgnoreData data;
    for (const QJsonValue& app : apps.toArray()) {
        if (!app.isString()) {
            throw Error(QStringLiteral("The member \"%1\" holds a value that is not a string").arg(appsKey));
        }
        data.ignoredApps.insert(app.toString());
    }
    const QJsonObject versionObject = versions.toObject();
    for (auto it = versionObject.constBegin(); it != versionObject.constEnd(); ++it) {
        if (!it.value().isString()) {
            throw Error(
                QStringLiteral("The member \"%1\" holds a value that is not a string").arg(versionsKey));
        }
        data.ignoredVersions.insert(it.key(), it.value().toString());
    }
    return data;
}

IgnoreService::IgnoreService(QString supportFolder)
    : m_supportFolder(std::move(supportFolder)),
      m_storagePath(QDir(m_supportFolder).filePath(QString::fromLatin1(fileName)))
{
    m_startup = runAsync([this] { startup(); });
}

IgnoreService::~IgnoreService()
{
    waitForStartup();
}

void IgnoreService::waitForStartup()
{
    m_startup.waitForFinished();
}

void IgnoreService::startup()
{
    if (!QDir().mkpath(m_supportFolder)) {
        Logger::warning(QStringLiteral("Failed to create support folder: ") + m_supportFolder);
    }
    std::lock_guard file(m_fileMutex);
    loadLocked();
}

bool IgnoreService::needsLoad() const
{
    std::lock_guard lock(m_mutex);
    return !m_isLoaded || m_unreadable;
}

void IgnoreService::ensureLoaded()
{
    if (needsLoad()) {
        std::lock_guard file(m_fileMutex);
        if (needsLoad()) {
            loadLocked();
        }
    }
}

// Called with m_fileMutex held. `reread`: read the file again whatever was loaded before,
// quietly unless something is wrong with it.
void IgnoreService::loadLocked(bool reread)
{
    if (!reread && !needsLoad()) {
        Logger::debug(QStringLiteral("Ignored items already loaded"));
        return;
    }
    const QFileInfo info(m_storagePath);
    if (!info.exists()) {
        if (!reread)
            Logger::info(QStringLiteral("No ignored items file found - starting fresh"));
        std::lock_guard lock(m_mutex);
        m_data = {};
        m_isLoaded = true;
        m_unreadable = false;
        return;
    }

    QString failure;
    const std::optional<QByteArray> bytes = SafeFile::readRegularFile(m_storagePath, maximumFileSize, &failure);
    if (!bytes) {
        // The file stays where it is and is tried again on the next use; the same failure is
        // reported once, not on every discovery and action.
        bool firstReport = false;
        {
            std::lock_guard lock(m_mutex);
            firstReport = !m_unreadable || m_readFailure != failure;
            m_data = {};
            m_isLoaded = true;
            m_unreadable = true;
            m_readFailure = failure;
        }
        if (firstReport) {
            Logger::warning(QStringLiteral("Failed to read ignored items: ") + failure);
            Logger::warning(QStringLiteral("Left the unreadable ignored items file in place: ") +
                            m_storagePath);
        }
        return;
    }

    StoredIgnoreData data;
    try {
        data = StoredIgnoreData::decode(*bytes);
    } catch (const Error& e) {
        Logger::warning(QStringLiteral("Failed to decode ignored items (possibly incompatible format): ") +
                        e.description());
        Logger::info(QStringLiteral("Deleting corrupted ignored items file and starting fresh"));
        // The user's list is never destroyed: a file that does not decode is kept beside the new one.
        moveAsideLocked();
        std::lock_guard lock(m_mutex);
        m_data = {};
        m_isLoaded = true;
        m_unreadable = false;
        return;
    }

    const QString counts = countsText(data);
    {
        std::lock_guard lock(m_mutex);
        m_data = std::move(data);
        m_isLoaded = true;
        m_unreadable = false;
    }
    if (!reread)
        Logger::info(QStringLiteral("Loaded ") + counts);
}

void IgnoreService::moveAsideLocked()
{
    const QString base = m_storagePath + QString::fromLatin1(corruptSuffix);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString target = attempt == 0 ? base : base + QLatin1Char('.') + QString::number(attempt);
        if (QFileInfo::exists(target)) {
            continue;
        }
        if (QFile::rename(m_storagePath, target)) {
            Logger::warning(QStringLiteral("Kept the undecodable ignored items file as ") + target);
            return;
        }
        break;
    }
    Logger::warning(QStringLiteral("Could not move the undecodable ignored items file aside: ") +
                    m_storagePath);
}

// Called with m_fileMutex held.
void IgnoreService::saveLocked(const StoredIgnoreData& data)
{
    Logger::info(QStringLiteral("Saving ignored items to disk"));
    const QByteArray bytes = data.encode();
    QString failure;
    if (!SafeFile::writeAtomically(m_storagePath, bytes, &failure)) {
        Logger::error(QStringLiteral("Failed to save ignored items: ") + failure);
        throw Error(QStringLiteral("Could not save the ignored items to ") + m_storagePath +
                    QStringLiteral(": ") + failure);
    }
    Logger::info(QStringLiteral("Saved ") + countsText(data));
}

template <typename Change> void IgnoreService::mutate(Change change)
{
    std::lock_guard file(m_fileMutex);
    if (!QDir().mkpath(m_supportFolder)) {
        throw Error(QStringLiteral("Could not create the folder ") + m_supportFolder);
    }
    // Another copy may have written the file since it was read here: every writer reads it
    // again under this lock and changes what it holds, so no writer's change is lost.
    const QString lockPath = m_storagePath + QStringLiteral(".lock");
    QLockFile writers(lockPath);
    if (!writers.tryLock(lockTimeout)) {
        const QString failure = lockFailure(writers, lockPath);
        Logger::error(QStringLiteral("Failed to save ignored items: ") + failure);
        throw Error(QStringLiteral("Could not save the ignored items to ") + m_storagePath +
                    QStringLiteral(": ") + failure);
    }
    loadLocked(true);
    StoredIgnoreData previous;
    StoredIgnoreData next;
    {
        std::lock_guard lock(m_mutex);
        if (m_unreadable) {
            throw Error(QStringLiteral("The ignored items file could not be read: ") + m_readFailure);
        }
        previous = m_data;
        change(m_data);
        next = m_data;
    }
    try {
        saveLocked(next);
    } catch (...) {
        // Memory keeps matching the file: whatever the file holds is what the user has.
        std::lock_guard lock(m_mutex);
        m_data = std::move(previous);
        throw;
    }
}

void IgnoreService::ignoreApp(const QString& bundleIdentifier)
{
    mutate([&](StoredIgnoreData& data) { data.ignoredApps.insert(bundleIdentifier); });
    Logger::info(QStringLiteral("Ignored application: ") + bundleIdentifier);
}

void IgnoreService::unignoreApp(const QString& bundleIdentifier)
{
    mutate([&](StoredIgnoreData& data) {
        data.ignoredApps.remove(bundleIdentifier);
        data.ignoredVersions.remove(bundleIdentifier);
    });
    Logger::info(QStringLiteral("Unignored application: ") + bundleIdentifier);
}

void IgnoreService::ignoreVersion(const QString& bundleIdentifier, const QString& version)
{
    mutate([&](StoredIgnoreData& data) { data.ignoredVersions.insert(bundleIdentifier, version); });
    Logger::info(QStringLiteral("Ignored version ") + version + QStringLiteral(" for ") + bundleIdentifier);
}

void IgnoreService::unignoreVersion(const QString& bundleIdentifier)
{
    mutate([&](StoredIgnoreData& data) { data.ignoredVersions.remove(bundleIdentifier); });
    Logger::info(QStringLiteral("Unignored version for ") + bundleIdentifier);
}

QSet<QString> IgnoreService::ignoredApps() const
{
    std::lock_guard lock(m_mutex);
    return m_data.ignoredApps;
}

QMap<QString, QString> IgnoreService::ignoredVersions() const
{
    std::lock_guard lock(m_mutex);
    return m_data.ignoredVersions;
}

bool IgnoreService::isLoaded() const
{
    std::lock_guard lock(m_mutex);
    return m_isLoaded;
}

QList<std::shared_ptr<Application>>
IgnoreService::applyIgnoreState(QList<std::shared_ptr<Application>> applications)
{
    ensureLoaded();
    StoredIgnoreData data;
    {
        std::lock_guard lock(m_mutex);
        data = m_data;
    }
    for (const auto& application : applications) {
        if (!application) {
            continue;
        }
        // One consistent read of the fields this decision needs; the writes go
        // through the setters, which tell observers only about real changes.
        const Application::Snapshot current = application->snapshot();
        const bool ignored = data.ignoredApps.contains(current.bundleIdentifier);
        const auto entry = data.ignoredVersions.constFind(current.bundleIdentifier);
        const std::optional<QString> skipped =
            entry == data.ignoredVersions.cend() ? std::nullopt : std::optional<QString>(entry.value());
        application->setIgnored(ignored);
        application->setSkippedVersion(skipped);
        if (ignored) {
            application->setUpdate(std::nullopt);
            if (current.cask) {
                Cask cask = *current.cask;
                cask.adoptable = false;
                application->setCask(std::move(cask));
            }
        } else if (skipped && current.update && current.update->latestVersion == *skipped) {
            application->setUpdate(std::nullopt);
        }
    }
    return applications;
}

} // namespace norvelle
