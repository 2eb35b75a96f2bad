#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <limits>

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
    // The lock as this process writes it, but naming a process that cannot exist.
    QLockFile lock(path);
    if (!lock.tryLock(0))
        return false;
    QByteArray contents = readFile(path);
    lock.unlock();
    contents = QByteArray::number(std::numeric_limits<int>::max()) + contents.mid(contents.indexOf('\n'));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

} // namespace norvelle::test
