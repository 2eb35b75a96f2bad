#include "platform/updater/InstallRecovery.h"

#include "platform/Logger.h"
#include "platform/file/SafeFile.h"
#include "platform/updater/DiskSync.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace norvelle {

namespace {

const QLatin1String asideMark(".old-");
const QLatin1String stagingMark(".update-");
constexpr qsizetype asideIdLength = 12;
constexpr qsizetype stagingIdLength = 6; // QTemporaryDir's "XXXXXX"

// Hidden, so that no download (whose name never starts with a dot) can take its place.
const QLatin1String recordName(".install-record");
const QByteArray recordTag("norvelle install\n");
const QByteArray asideKey("aside ");
constexpr qint64 maxRecordBytes = 4096;

bool isIdOf(QStringView id, qsizetype length, bool hexOnly)
{
    if (id.size() != length)
        return false;
    return std::all_of(id.begin(), id.end(), [hexOnly](QChar c) {
        const char16_t u = c.unicode();
        const bool hex = (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f');
        return hexOnly ? hex : (u < 128 && c.isLetterOrNumber());
    });
}

// The bundle's name when name has the exact shape ".<bundle>.app<mark><id>" that an install makes.
std::optional<QString> bundleOf(const QString& name, QLatin1String mark, qsizetype idLength, bool hexOnly)
{
    const qsizetype at = name.size() - idLength - mark.size();
    if (at <= 1 || !name.startsWith(QLatin1Char('.')) || QStringView(name).mid(at, mark.size()) != mark ||
        !isIdOf(QStringView(name).mid(at + mark.size()), idLength, hexOnly))
        return std::nullopt;
    const QString bundleName = name.mid(1, at - 1);
    if (!bundleName.endsWith(QLatin1String(".app"), Qt::CaseInsensitive))
        return std::nullopt;
    return bundleName;
}

std::optional<QString> stagedBundleOf(const QString& name)
{
    return bundleOf(name, stagingMark, stagingIdLength, false);
}

// What the record in a staging folder says: none when the folder carries no record of ours;
// an empty aside when the swap had not begun.
std::optional<QString> readRecord(const QString& staging)
{
    const std::optional<QByteArray> bytes =
        SafeFile::readRegularFile(staging + QLatin1Char('/') + recordName, maxRecordBytes);
    if (!bytes || !bytes->startsWith(recordTag))
        return std::nullopt;
    const QByteArray rest = bytes->mid(recordTag.size());
    if (!rest.startsWith(asideKey))
        return QString();
    return QFile::decodeName(rest.mid(asideKey.size()).trimmed());
}

bool writeRecord(const QString& staging, const QByteArray& content, QString* error)
{
    // Written aside and renamed in, so a kill mid-write leaves the old record whole. Not synced:
    // the rename it guards reaches the disk after it in the journal's order.
    const QString path = staging + QLatin1Char('/') + recordName;
    const QString partial = path + QStringLiteral(".new");
    QFile file(partial);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size() ||
        !file.flush()) {
        if (error)
            *error = file.errorString();
        file.remove();
        return false;
    }
    file.close();
    if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(partial);
        return false;
    }
    return true;
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

bool putBack(const QString& folder, const QString& aside, const QString& bundle)
{
    if (std::rename(QFile::encodeName(aside).constData(), QFile::encodeName(bundle).constData()) != 0) {
        Logger::error(QStringLiteral("Updater could not put back ") + bundle +
                      QStringLiteral(", which an interrupted update left at ") + aside +
                      QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    Logger::warning(QStringLiteral("Updater put back ") + bundle +
                    QStringLiteral(", which an interrupted update left at ") + aside);
    QString syncError;
    if (!DiskSync::syncPath(folder, &syncError))
        Logger::warning(QStringLiteral("Updater could not sync the swap to the disk: ") + syncError);
    return true;
}

bool removeLeftover(const QString& path)
{
    if (DiskSync::removeTree(path)) {
        Logger::info(QStringLiteral("Updater removed what an interrupted update left at ") + path);
        return true;
    }
    Logger::warning(QStringLiteral("Updater could not remove what an interrupted update left at ") + path);
    return false;
}

// Settles the copy the record names. False while the copy must stay, and with it the record.
bool settleAside(const QString& folder, const QString& bundleName, const QString& asideName)
{
    // A record naming anything but this bundle's set-aside copy is not followed.
    if (bundleOf(asideName, asideMark, asideIdLength, true) != bundleName)
        return true;
    const QDir dir(folder);
    const QString aside = dir.filePath(asideName);
    if (foundAt(aside) != Found::bundle)
        return true; // removed already, or put back
    const QString bundle = dir.filePath(bundleName);
    switch (foundAt(bundle)) {
    case Found::nothing: // killed between the swap's two renames
        return putBack(folder, aside, bundle);
    case Found::bundle: // the swap finished
        return removeLeftover(aside);
    case Found::other: // a link or a file, which no swap leaves: the copy may be all there is
        return false;
    }
    return false;
}

} // namespace

InstallStaging::InstallStaging(const QString& bundlePath)
{
    const QFileInfo bundle(bundlePath);
    QTemporaryDir created(bundle.dir().filePath(QLatin1Char('.') + bundle.fileName() + stagingMark +
                                                QString(stagingIdLength, QLatin1Char('X'))));
    if (!created.isValid())
        return;
    created.setAutoRemove(false);
    m_path = created.path();
    // A sweep that holds the folder for a moment (it has no record yet, so the sweep leaves it)
    // is waited for; nothing else can hold a folder made just now.
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_lock = std::make_unique<FolderLock>(m_path);
        if (!m_lock->isBusy())
            break;
        QThread::msleep(5);
    }
    m_valid = m_lock->isHeld() && writeRecord(m_path, recordTag, nullptr);
}

InstallStaging::~InstallStaging()
{
    if (!m_path.isEmpty() && !m_leave)
        DiskSync::removeTree(m_path);
}

QString InstallStaging::filePath(const QString& name) const
{
    return m_path + QLatin1Char('/') + name;
}

bool InstallStaging::recordAside(const QString& asidePath, QString* error)
{
    return writeRecord(
        m_path, recordTag + asideKey + QFile::encodeName(QFileInfo(asidePath).fileName()) + '\n', error);
}

QString InstallRecovery::asidePath(const QString& bundlePath)
{
    const QFileInfo bundle(bundlePath);
    return bundle.dir().filePath(QLatin1Char('.') + bundle.fileName() + asideMark +
                                 QUuid::createUuid().toString(QUuid::Id128).left(asideIdLength));
}

void InstallRecovery::recoverFolder(const QString& folder)
{
    if (folder.isEmpty())
        return;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QString& name : names) {
        const std::optional<QString> bundleName = stagedBundleOf(name);
        if (!bundleName)
            continue;
        const QString staging = dir.filePath(name);
        const FolderLock lock(staging);
        if (!lock.isHeld())
            continue; // a running install's, or gone meanwhile
        const std::optional<QString> aside = readRecord(staging);
        if (!aside)
            continue; // not provably an install's
        if (!aside->isEmpty() && !settleAside(folder, *bundleName, *aside))
            continue;
        removeLeftover(staging);
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
