// Appcast feeds of the applications we keep up to date, and our own.
#include "FuzzInput.h"
#include "platform/updater/AppcastParser.h"
#include "util/Error.h"

#include <QUrl>

using namespace norvelle;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::silenceSystemLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QUrl feed(QStringLiteral("https://example.com/appcast.xml"));
    try {
        const QByteArray xml = fuzz::bytes(data, size);
        (void)AppcastParser::parse(xml, feed);
        (void)AppcastParser::parse(xml, feed, QStringLiteral("de"));
    } catch (const Error&) {
        // A refused feed is an answer, not a finding.
    }
    return 0;
}
