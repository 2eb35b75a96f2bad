#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>

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

bool writeStaleLock(const QString& path)
{
    QProcess ended;
    ended.start(QStringLiteral("true"), {});
    if (!ended.waitForStarted())
        return false;
    const QByteArray pid = QByteArray::number(ended.processId());
    if (!ended.waitForFinished())
        return false;
    // The lock as this process writes it, but naming the ended one.
    QLockFile lock(path);
    if (!lock.tryLock(0))
        return false;
    QByteArray contents = readFile(path);
    lock.unlock();
    contents = pid + contents.mid(contents.indexOf('\n'));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

} // namespace norvelle::test
