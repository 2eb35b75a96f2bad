#pragma once

#include "platform/updater/AppcastItem.h"

#include <QByteArray>
#include <QList>
#include <QUrl>

namespace norvelle {

// Reads an RSS appcast with the sparkle namespace. Items without a version are left
// out (they cannot be compared), and so are items whose enclosures are all for
// another system (sparkle:os) or deltas (sparkle:deltaFrom): the first enclosure for
// macOS is the item's download. Malformed XML, a document that is no RSS feed, or an
// enclosure pointing at a local file throws UpdaterError (malformedAppcast).
class AppcastParser {
public:
    static constexpr const char* sparkleNamespace = "http://www.andymatuschak.org/xml-namespaces/sparkle";

    // Release notes and descriptions in the user's language (QLocale's).
    static QList<AppcastItem> parse(const QByteArray& xml, const QUrl& feedUrl);
    // Release notes and descriptions in the given language ("de", "pt-BR"): the one
    // in that language, else the one without a language, else the first.
    static QList<AppcastItem> parse(const QByteArray& xml, const QUrl& feedUrl, const QString& language);

    // The user's language as a BCP 47 tag.
    static QString userLanguage();

private:
    AppcastParser() = delete;
};

} // namespace norvelle
