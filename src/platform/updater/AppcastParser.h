#pragma once

#include "platform/updater/AppcastItem.h"

#include <QByteArray>
#include <QList>
#include <QUrl>

namespace norvelle {

// Reads an RSS appcast with the sparkle namespace. Items without a version are left
// out (they cannot be compared); malformed XML or a document that is no RSS feed
// throws UpdaterError (malformedAppcast).
class AppcastParser {
public:
    static constexpr const char* sparkleNamespace = "http://www.andymatuschak.org/xml-namespaces/sparkle";

    static QList<AppcastItem> parse(const QByteArray& xml, const QUrl& feedUrl);

private:
    AppcastParser() = delete;
};

} // namespace norvelle
