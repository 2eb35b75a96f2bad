#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace norvelle {

// One <item> of an appcast feed, as read from the feed: addresses are already
// resolved against the feed's address, absent texts are empty. Texts offered in
// several languages are the user's language's.
struct AppcastItem {
    QString title;
    QString versionString;        // sparkle:version (element, or enclosure attribute in older feeds)
    QString displayVersionString; // sparkle:shortVersionString; the version when the feed gives none
    std::optional<QString> itemDescription;
    QUrl releaseNotesUrl;      // sparkle:releaseNotesLink
    QUrl infoUrl;              // <link>, the page an informational update points to
    QUrl fileUrl;              // the enclosure's url
    QDateTime date;            // pubDate; invalid when absent or unreadable
    quint64 contentLength = 0; // the enclosure's length; 0 when the feed gives none
    QString edSignature;       // the enclosure's sparkle:edSignature (base64)
    QString installationType;  // sparkle:installationType; empty means an application
    QString channel;           // sparkle:channel; empty for the default channel
    QString minimumSystemVersion;
    QString maximumSystemVersion;
    QString minimumUpdateVersion;     // sparkle:minimumUpdateVersion: the oldest version it updates
    QStringList hardwareRequirements; // sparkle:hardwareRequirements ("arm64")
    bool hasDeltas = false;           // the item offers delta updates (never used here)

    // Informational: the item only points to a page and cannot be installed. A
    // sparkle:informationalUpdate element with sparkle:version or sparkle:belowVersion
    // children makes the item informational only for those installed versions, or
    // those below one of the bounds; for every other version it stays installable.
    bool informationOnly = false;
    QStringList informationalVersions;
    QStringList informationalBelowVersions;

    bool operator==(const AppcastItem&) const = default;
};

} // namespace norvelle
