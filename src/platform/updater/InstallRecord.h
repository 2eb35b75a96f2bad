#pragma once

#include "platform/updater/DiskSync.h"

#include <QByteArray>
#include <QLatin1String>
#include <QString>
#include <optional>
#include <stop_token>

// What InstallStaging and InstallRecovery share: the shapes of the names an install makes beside a
// bundle, and the record its staging folder carries. Internal to platform/updater.
namespace norvelle::installrecord {

inline const QLatin1String asideMark(".old-");
inline const QLatin1String stagingMark(".update-");
inline constexpr qsizetype asideIdLength = 12;
inline constexpr qsizetype stagingIdLength = 6; // QTemporaryDir's "XXXXXX"

// Hidden, so that no download (whose name never starts with a dot) can take its place.
inline const QLatin1String recordName(".install-record");
inline const QByteArray recordTag("norvelle install\n");
// The set-aside copy may be all there is of the application (a swap cut short between its renames)...
inline const QByteArray asideKey("aside ");
// ...or it is no longer the application (the new version is in place, or its removal has begun)...
inline const QByteArray removalKey("remove ");
// ...or, of the copies recorded at its moment, it is the one a sweep put back, or is putting back:
// the others of that moment go, whatever it is.
inline const QByteArray returnKey("return ");

// The bundle's name when name has the exact shape ".<bundle>.app<mark><id>" that an install makes.
std::optional<QString> bundleOf(const QString& name, QLatin1String mark, qsizetype idLength, bool hexOnly);
std::optional<QString> stagedBundleOf(const QString& name);

QString recordIn(const QString& staging);

struct Record {
    QString aside;          // empty when the swap had not begun
    bool removing = false;  // the copy is never put back
    bool returning = false; // the copy comes back, or has come back, before any other of its moment
};

// What an install's record says: none when the file is no record of ours.
std::optional<Record> readRecord(const QString& path);
QByteArray recordOf(const QByteArray& key, const QString& asideName);
// Makes content the record in staging; with keepTime it keeps the time of the record it replaces.
bool writeRecord(const QString& staging, const QByteArray& content, QString* error, bool keepTime = false);

// Removes a staging folder so that a kill at any point of it leaves what the next sweep finishes:
// the record goes last, moved out beside the folder (its name and the record's) for the moment
// the emptied folder is removed. Where that name is taken, the folder keeps its record, and a
// later sweep finishes it.
bool removeStaging(const QString& staging, const std::stop_token& stop, const DiskSync::Pace& pace = {});

} // namespace norvelle::installrecord
