#include "platform/updater/InstallStaging.h"

#include "platform/updater/InstallRecord.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>

namespace norvelle {

using namespace installrecord;

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
    m_lock = std::make_unique<FolderLock>(m_path, std::chrono::milliseconds(500));
    m_valid = m_lock->isHeld() && writeRecord(m_path, recordTag, nullptr);
}

InstallStaging::~InstallStaging()
{
    if (!m_path.isEmpty() && !m_leave)
        removeStaging(m_path, {});
}

QString InstallStaging::filePath(const QString& name) const
{
    return m_path + QLatin1Char('/') + name;
}

bool InstallStaging::recordAside(const QString& asidePath, QString* error)
{
    return writeRecord(m_path, recordOf(asideKey, QFileInfo(asidePath).fileName()), error);
}

bool InstallStaging::recordRemoval(const QString& asidePath, QString* error)
{
    return writeRecord(m_path, recordOf(removalKey, QFileInfo(asidePath).fileName()), error);
}

} // namespace norvelle
