#include "TempRoot.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace norvelle::test {

TempRoot::TempRoot() : m_dir(QDir::tempPath() + QStringLiteral("/norvelle-root-XXXXXX")) {}

QString TempRoot::filePath(const QString& relative) const
{
    QString rel = relative;
    while (rel.startsWith(u'/'))
        rel.remove(0, 1);
    return rel.isEmpty() ? path() : path() + u'/' + rel;
}

QString TempRoot::makeDirectory(const QString& relative) const
{
    const QString full = filePath(relative);
    QDir().mkpath(full);
    return full;
}

QString TempRoot::writeFile(const QString& relative, const QByteArray& contents) const
{
    const QString full = filePath(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
        return {};
    return full;
}

QString TempRoot::writeExecutable(const QString& relative, const QByteArray& contents) const
{
    const QString full = writeFile(relative, contents);
    if (full.isEmpty())
        return {};
    QFile::setPermissions(full, QFile::permissions(full) | QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                    QFileDevice::ExeOther);
    return full;
}

} // namespace norvelle::test
