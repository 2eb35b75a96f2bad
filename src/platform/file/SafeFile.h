#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <optional>

class QFile;

namespace norvelle {

// File access for files that anyone may have put in our way (bundles, receipts, the ignore list)
// and for the files we write ourselves.
class SafeFile {
public:
    // The whole content of a regular file of at most maximumSize bytes. Anything else (a FIFO, a
    // device, a directory, a larger file) gives none with the reason in *error, and never blocks:
    // the file is opened without waiting for a writer and checked after opening, so it cannot be
    // swapped for something else in between. Symbolic links are followed; the target counts.
    static std::optional<QByteArray> readRegularFile(const QString& path, qint64 maximumSize,
                                                     QString* error = nullptr);
    // Whether a file that has other names too (a hard link to one kept elsewhere) may be opened:
    // only to be read, as what is written to it changes it under every name.
    enum class Names { one, anyToRead };
    // Opens file (by its name) with mode, only where a regular file has that name, and, like
    // readRegularFile, never blocks: a FIFO, a device, a socket or a directory there is refused at
    // once. For files of our own beside the settings, which anyone may have put a link at: a
    // symbolic link at the name is refused, never followed; a write that may create the file
    // creates it only where nothing has the name; Truncate empties it only once it is known to be
    // a regular file with no other name.
    static bool openRegularFile(QFile& file, QIODevice::OpenMode mode, Names names = Names::one);

    // Replaces the file at path with bytes in one step. Every write, the flush and the sync to
    // disk are checked before the new content takes the old one's place, so on any failure (a
    // full disk) the old file stays as it was. Returns false with the reason in *error.
    static bool writeAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

private:
    SafeFile() = delete;
};

} // namespace norvelle
