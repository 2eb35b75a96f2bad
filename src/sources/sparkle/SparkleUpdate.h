#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <optional>

namespace norvelle {

// One update that an application's appcast offers, as the update checker found it.
struct SparkleUpdate {
    QString applicationId; // the application's id, upper-case, without braces
    QString bundleIdentifier;
    QString feedURL;                     // the feed the check used; empty when the application names none
    QString currentVersion;              // the installed version when the update was found
    QString availableVersion;            // display version, with ",build" when the build differs
    std::optional<QString> releaseNotes; // the item's description (HTML)
    std::optional<QString> releaseNotesURL;
    QString downloadURL; // empty when the item has no download
    std::optional<QDateTime> publishedDate;
    std::optional<qint64> fileSize; // absent when the feed gives no length

    bool operator==(const SparkleUpdate& other) const = default;
};

size_t qHash(const SparkleUpdate& update, size_t seed = 0);

} // namespace norvelle

Q_DECLARE_METATYPE(norvelle::SparkleUpdate)
