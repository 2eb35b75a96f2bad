#include "platform/updater/InstallRecovery.h"

#include "platform/Logger.h"
#include "platform/updater/DiskSync.h"
#include "platform/updater/FolderLock.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace norvelle {

namespace {

const QLatin1String asideMark(".old-");
const QLatin1String stagingMark(".update-");

struct Leftover {
    QString bundleName;
    bool isAside = false;
};

// ".<bundle>.app.old-<id>" or ".<bundle>.app.update-<id>"; anything else is not ours.
std::optional<Leftover> leftoverFor(const QString& name)
{
    if (!name.startsWith(QLatin1Char('.')))
        return std::nullopt;
    for (const QLatin1String mark : {asideMark, stagingMark}) {
        const qsizetype at = name.lastIndexOf(mark);
        if (at <= 1 || at + mark.size() == name.size())
            continue;
        const QString bundleName = name.mid(1, at - 1);
        if (!bundleName.endsWith(QLatin1String(".app"), Qt::CaseInsensitive))
            continue;
        return Leftover{bundleName, mark == asideMark};
    }
    return std::nullopt;
}

enum class Found { nothing, bundle, other };

Found foundAt(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink())
        return Found::other;
    if (!info.exists())
        return Found::nothing;
    return info.isDir() ? Found::bundle : Found::other;
}

void putBack(const QString& folder, const QString& aside, const QString& bundle)
{
    if (std::rename(QFile::encodeName(aside).constData(), QFile::encodeName(bundle).constData()) != 0) {
        Logger::error(QStringLiteral("Updater could not put back ") + bundle +
                      QStringLiteral(", which an interrupted update left at ") + aside +
                      QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    Logger::warning(QStringLiteral("Updater put back ") + bundle +
                    QStringLiteral(", which an interrupted update left at ") + aside);
    QString syncError;
    if (!DiskSync::syncPath(folder, &syncError))
        Logger::warning(QStringLiteral("Updater could not sync the swap to the disk: ") + syncError);
}

} // namespace

QString InstallRecovery::asidePath(const QString& bundlePath)
{
    const QFileInfo bundle(bundlePath);
    return bundle.dir().filePath(QLatin1Char('.') + bundle.fileName() + asideMark +
                                 QUuid::createUuid().toString(QUuid::Id128).left(12));
}

QString InstallRecovery::stagingTemplate(const QString& bundlePath)
{
    const QFileInfo bundle(bundlePath);
    return bundle.dir().filePath(QLatin1Char('.') + bundle.fileName() + stagingMark +
                                 QStringLiteral("XXXXXX"));
}

void InstallRecovery::recoverFolder(const QString& folder)
{
    if (folder.isEmpty())
        return;
    const QDir dir(folder);
    // By name, so that of several set-aside copies the same one is put back each time.
    const QStringList names =
        dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QString& name : names) {
        const std::optional<Leftover> leftover = leftoverFor(name);
        if (!leftover)
            continue;
        const QString path = dir.filePath(name);
        const FolderLock lock(path);
        if (!lock.isHeld())
            continue; // a running install's, or gone meanwhile
        if (leftover->isAside) {
            const QString bundle = dir.filePath(leftover->bundleName);
            const Found found = foundAt(bundle);
            if (found == Found::nothing) // killed between the swap's two renames
                putBack(folder, path, bundle);
            // Beside a link or a file no swap leaves, the copy may be all there is: keep it.
            if (found != Found::bundle)
                continue;
        }
        if (QDir(path).removeRecursively())
            Logger::info(QStringLiteral("Updater removed what an interrupted update left at ") + path);
        else
            Logger::warning(QStringLiteral("Updater could not remove what an interrupted update left at ") +
                            path);
    }
}

void InstallRecovery::recoverApplications(const QString& applicationsFolder)
{
    if (applicationsFolder.isEmpty())
        return;
    recoverFolder(applicationsFolder);
    const QDir dir(applicationsFolder);
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        if (!name.endsWith(QLatin1String(".app")))
            recoverFolder(dir.filePath(name));
    }
}

} // namespace norvelle
