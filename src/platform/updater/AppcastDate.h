#pragma once

#include <QDateTime>
#include <QString>

namespace norvelle {

// Reads an item's pubDate: RFC 822 dates ("Wed, 09 Oct 2024 12:30:00 +0000"), with
// the zone as an offset or a name (GMT, UT, UTC, Z, the North American zones) or
// left out (UTC). Hand-written feeds often get the weekday wrong; the date itself
// decides, so a wrong weekday is ignored. Everything else is strict: an unknown
// word, a day the month lacks or a time out of range gives an invalid date.
class AppcastDate {
public:
    static QDateTime parse(const QString& text);

private:
    AppcastDate() = delete;
};

} // namespace norvelle
