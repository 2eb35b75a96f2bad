#include "platform/updater/BundleInstaller.h"

#include "platform/Logger.h"
#include "platform/file/FolderLock.h"
#include "platform/updater/DiskSync.h"
#include "platform/updater/InstallRecovery.h"
#include "platform/updater/InstallStaging.h"
#include "platform/updater/UpdaterError.h"
#include "platform/updater/VersionComparator.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>

namespace norvelle {

namespace {

[[noreturn]] void invalid(const QString& why)
{
    throw UpdaterError(UpdaterError::Kind::bundleInvalid, why);
}

[[noreturn]] void installFailed(const QString& why)
{
    throw UpdaterError(UpdaterError::Kind::installFailed, why);
}

// Moving a folder to another parent rewrites its "..", which needs the right to change it; an
// archive may give an application's folder none (0555), and the extraction's sync gives only the
// right to read and enter. The folder's mode before it was given that right, where it was.
std::optional<mode_t> letOwnerChange(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || (info.st_mode & S_IWUSR) ||
        ::fchmodat(AT_FDCWD, name.constData(), (info.st_mode | S_IWUSR) & 07777, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return info.st_mode & 07777;
}

// Gives the folder at path back the mode it had before letOwnerChange, where that changed it.
void restoreMode(const QString& path, std::optional<mode_t> mode)
{
    if (mode)
        ::fchmodat(AT_FDCWD, QFile::encodeName(path).constData(), *mode, AT_SYMLINK_NOFOLLOW);
}

} // namespace

UpdaterBundle BundleInstaller::findUpdateBundle(const QString& extractedDirectory,
                                                const UpdaterBundle& installed) const
{
    const QString installedName = QFileInfo(installed.path()).fileName();
    QStringList candidates;
    const QFileInfoList entries =
        QDir(extractedDirectory).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        if (!entry.isSymLink() && entry.fileName().endsWith(QLatin1String(".app"), Qt::CaseInsensitive))
            candidates.append(entry.fileName());
    }
    QString chosen;
    if (candidates.contains(installedName))
        chosen = installedName;
    else if (candidates.size() == 1)
        chosen = candidates.first();
    else if (candidates.isEmpty())
        invalid(QStringLiteral("The update contains no application"));
    else
        invalid(QStringLiteral("The update contains several applications: ") +
                candidates.join(QStringLiteral(", ")));

    const std::optional<UpdaterBundle> update =
        UpdaterBundle::load(QDir(extractedDirectory).filePath(chosen));
    if (!update)
        invalid(QStringLiteral("The update's application has no readable Info.plist"));
    if (installed.identifier().isEmpty())
        invalid(QStringLiteral(
            "The installed application has no bundle identifier, so the update cannot be checked"));
    if (update->identifier() != installed.identifier())
        invalid(QStringLiteral("The update's bundle identifier \"") + update->identifier() +
                QStringLiteral("\" does not match the installed application's \"") + installed.identifier() +
                QStringLiteral("\""));
    if (!VersionComparator::isNewer(update->version(), installed.version()))
        invalid(QStringLiteral("The update's version ") + update->version() +
                QStringLiteral(" is not newer than the installed version ") + installed.version());
    return *update;
}

void BundleInstaller::replace(const QString& installedPath, const QString& updatePath,
                              InstallStaging& staging, std::stop_token quitting)
{
    const QFileInfo installed(installedPath);
    // Aside in the same folder, so both renames stay on one file system.
    const QString aside = InstallRecovery::asidePath(installedPath);
    // Held on the bundle until its old copy is gone, so that a sweep for what killed installs
    // left does not take this swap for one of them.
    const FolderLock lock(installedPath);
    if (lock.isBusy())
        installFailed(QStringLiteral("Another update of the application is being installed"));
    QString error;
    if (!staging.recordAside(aside, &error))
        installFailed(QStringLiteral("The update's staging folder cannot be written: ") + error);
    if (!renamePath(installedPath, aside, &error))
        installFailed(QStringLiteral("The installed application could not be moved aside: ") + error);
    // Only for the move: the application keeps the mode its archive gave it.
    const std::optional<mode_t> updateMode = letOwnerChange(updatePath);
    if (!renamePath(updatePath, installedPath, &error)) {
        restoreMode(updatePath, updateMode);
        QString rollbackError;
        if (!renamePath(aside, installedPath, &rollbackError)) {
            // The set-aside copy is now all there is of the application: its record stays, so
            // that the next start's sweep puts it back.
            staging.leaveToSweep();
            Logger::error(QStringLiteral("Updater could not put the installed application back: ") +
                          rollbackError);
            installFailed(QStringLiteral("The update could not be moved into place (") + error +
                          QStringLiteral("), and the previous version could not be put back; it is at ") +
                          aside);
        }
        installFailed(QStringLiteral("The update could not be moved into place: ") + error);
    }
    restoreMode(installedPath, updateMode);
    // The renames live in the folder's entries; without this a power cut could bring
    // back the old name pointing at nothing.
    QString syncError;
    if (!DiskSync::syncPath(installed.absolutePath(), &syncError))
        Logger::warning(QStringLiteral("Updater could not sync the swap to the disk: ") + syncError);
    // The new version is in place: a quit does not wait for thousands of files to go, and what
    // stays is the sweep's, found through the record, which first says that the copy is no longer
    // the application: what is left of it is never put back, even once the user removed the
    // application.
    if (!staging.recordRemoval(aside, &error)) {
        staging.leaveToSweep();
        Logger::warning(QStringLiteral("Updater could not remove the previous version at ") + aside +
                        QStringLiteral(": ") + error);
        return;
    }
    if (!removeTree(aside, quitting)) {
        staging.leaveToSweep();
        if (!quitting.stop_requested())
            Logger::warning(QStringLiteral("Updater could not remove the previous version at ") + aside);
    }
}

bool BundleInstaller::renamePath(const QString& from, const QString& to, QString* error)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool BundleInstaller::removeTree(const QString& path, std::stop_token stop)
{
    return DiskSync::removeBundle(path, stop);
}

} // namespace norvelle
