#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <optional>

namespace norvelle {

// The ISO 8601 internet date-time form, written and read strictly. QDateTime's own ISO
// reader accepts far more (dates without time, missing zones, week dates), which outside
// data must not slip through.
class Iso8601 {
public:
    enum class Fraction { reject, accept };

    // "yyyy-MM-ddTHH:mm:ssZ" in UTC; fractions of a second are dropped.
    static QString toString(const QDateTime& time);

    // Accepts exactly "YYYY-MM-DDTHH:MM:SS" followed by "Z" or "+HH:MM"/"-HH:MM", with a
    // real calendar date (no year 0, no leap second). With Fraction::accept, a "." and one or
    // more digits may follow the seconds (kept to the millisecond). The result is in UTC.
    static std::optional<QDateTime> parse(QStringView text, Fraction fraction = Fraction::reject);

private:
    Iso8601() = delete;
};

} // namespace norvelle
