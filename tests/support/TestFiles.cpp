#include "TestFiles.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLockFile>
#include <unistd.h>

namespace norvelle::test {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entriesIn(const QString& directory)
{
    return QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System);
}

bool writeStaleLock(const QString& path, qint64 pid, const QStringList& replaced)
{
    // The lock as this process writes it: its pid, executable, host, machine and boot.
    QLockFile lock(path);
    if (!lock.tryLock(0))
        return false;
    QList<QByteArray> lines = readFile(path).split('\n');
    lock.unlock();
    lines[0] = QByteArray::number(pid);
    const QStringList names{"pid", "executable", "host", "machine", "boot"};
    for (const QString& line : replaced) {
        const qsizetype at = names.indexOf(line.section('=', 0, 0));
        if (at < 0 || at >= lines.size())
            return false;
        lines[at] = line.section('=', 1).toUtf8();
    }
    const QByteArray contents = lines.join('\n');
    QFile file(path);
    // Left an hour ago: older than QLockFile's own age limit.
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() && file.flush() &&
           file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-3600),
                            QFileDevice::FileModificationTime);
}

AsUser::AsUser(const QString& folder) : m_root(::geteuid() == 0)
{
    if (!m_root)
        return;
    constexpr uid_t nobody = 65534;
    m_valid = ::lchown(QFile::encodeName(folder).constData(), nobody, nobody) == 0;
    for (QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();)
        m_valid = ::lchown(QFile::encodeName(it.next()).constData(), nobody, nobody) == 0 && m_valid;
    m_valid = m_valid && ::setegid(nobody) == 0 && ::seteuid(nobody) == 0;
}

AsUser::~AsUser()
{
    if (m_root && (::seteuid(0) != 0 || ::setegid(0) != 0))
        qFatal("could not act as root again");
}

} // namespace norvelle::test
