#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <stop_token>

namespace norvelle {

// Unpacks a downloaded update (zip, tar, tar.gz, tar.bz2, tar.xz) with libarchive.
// Nothing may land outside the target: entries with absolute paths or ".."
// components, links whose target leaves the top folder they sit in (the bundle),
// hard links to anything but a file in that folder, and special files make the
// whole extraction fail. Set-id
// bits are dropped. Every write and every checksum counts: a write the disk
// refused, a bad CRC or an archive past the limits fails the extraction, and what
// was written is synced to the disk before extract() returns, so a bundle it
// leaves is whole.
class ArchiveExtractor {
public:
    enum class Kind { zip, tar, diskImage, installerPackage, delta, unknown };

    // Bounds that keep an archive bomb from filling the disk.
    struct Limits {
        qint64 maxBytes = qint64(8) << 30; // unpacked data of all entries
        qint64 maxEntries = 500000;
    };

    // What the file name says the download is.
    static Kind kindForName(const QString& fileName);

    using ProgressHandler = std::function<void(double fraction)>;

    // Extracts into an existing empty directory, reporting progress from 0 to 1 (only
    // rising, at most once per percent). Throws UpdaterError (extractionFailed) and
    // leaves the target partly filled on failure; the caller removes it.
    static void extract(const QString& archivePath, const QString& targetDirectory,
                        const ProgressHandler& progress, std::stop_token stop = {});
    static void extract(const QString& archivePath, const QString& targetDirectory,
                        const ProgressHandler& progress, std::stop_token stop, const Limits& limits);

    // The entry path as it will be written, relative to the target ("" for the target
    // itself), or none when it would leave the target (absolute, "..").
    static std::optional<QString> safeRelativePath(const QString& entryPath);

    // Whether a symbolic link at the relative path with that target stays inside the
    // top folder of that path (inside the target for a link at the top).
    static bool isSafeLink(const QString& linkRelativePath, const QString& target);

private:
    ArchiveExtractor() = delete;
};

} // namespace norvelle
