#pragma once

#include "platform/Paths.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace norvelle::test {

// A temporary folder that stands for the file-system root of a fake Mac; removed when destroyed.
class TempRoot {
public:
    TempRoot();

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    // root + "/" + relative (a leading "/" in `relative` is allowed).
    QString filePath(const QString& relative) const;

    // Creates the folder and its parents; returns its full path.
    QString makeDirectory(const QString& relative) const;
    // Writes the file (creating its folder); returns its full path, or an empty string on failure.
    QString writeFile(const QString& relative, const QByteArray& contents) const;
    // writeFile, then makes the file executable.
    QString writeExecutable(const QString& relative, const QByteArray& contents) const;

    // Paths::underRoot(path()).
    Paths paths() const { return Paths::underRoot(path()); }

private:
    QTemporaryDir m_dir;
};

} // namespace norvelle::test
