#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace norvelle::test {

// The whole file, or an empty array when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace norvelle::test
