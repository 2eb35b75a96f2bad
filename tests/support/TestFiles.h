#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace norvelle::test {

// The whole content of a file; empty when it cannot be read.
QByteArray readFile(const QString& path);

// Every entry directly in a folder, hidden ones included, to prove nothing was left behind.
QStringList entriesIn(const QString& directory);

} // namespace norvelle::test
