#include "util/Iso8601.h"

#include <QTimeZone>

namespace norvelle {

QString Iso8601::toString(const QDateTime& time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + u'Z';
}

namespace {

// Reads exactly `count` ASCII digits at `pos`, advancing it.
std::optional<int> digits(QStringView s, qsizetype& pos, int count)
{
    if (pos + count > s.size())
        return std::nullopt;
    int value = 0;
    for (int k = 0; k < count; ++k) {
        const char16_t u = s[pos + k].unicode();
        if (u < u'0' || u > u'9')
            return std::nullopt;
        value = value * 10 + (u - u'0');
    }
    pos += count;
    return value;
}

bool expect(QStringView s, qsizetype& pos, char16_t c)
{
    if (pos >= s.size() || s[pos].unicode() != c)
        return false;
    ++pos;
    return true;
}

} // namespace

std::optional<QDateTime> Iso8601::parse(QStringView s, Fraction fraction)
{
    qsizetype pos = 0;
    const auto year = digits(s, pos, 4);
    if (!year || !expect(s, pos, u'-'))
        return std::nullopt;
    const auto month = digits(s, pos, 2);
    if (!month || !expect(s, pos, u'-'))
        return std::nullopt;
    const auto day = digits(s, pos, 2);
    if (!day || !expect(s, pos, u'T'))
        return std::nullopt;
    const auto hour = digits(s, pos, 2);
    if (!hour || !expect(s, pos, u':'))
        return std::nullopt;
    const auto minute = digits(s, pos, 2);
    if (!minute || !expect(s, pos, u':'))
        return std::nullopt;
    const auto second = digits(s, pos, 2);
    if (!second)
        return std::nullopt;

    int millisecond = 0;
    if (pos < s.size() && s[pos] == u'.') {
        if (fraction != Fraction::accept)
            return std::nullopt;
        ++pos;
        const qsizetype start = pos;
        int scale = 100;
        while (pos < s.size() && s[pos].unicode() >= u'0' && s[pos].unicode() <= u'9') {
            millisecond += (s[pos].unicode() - u'0') * scale;
            scale /= 10;
            ++pos;
        }
        if (pos == start)
            return std::nullopt;
    }

    int offsetSeconds = 0;
    if (expect(s, pos, u'Z')) {
        // UTC
    } else if (pos < s.size() && (s[pos] == u'+' || s[pos] == u'-')) {
        const int sign = s[pos] == u'-' ? -1 : 1;
        ++pos;
        const auto offHours = digits(s, pos, 2);
        if (!offHours || !expect(s, pos, u':'))
            return std::nullopt;
        const auto offMinutes = digits(s, pos, 2);
        if (!offMinutes || *offHours > 23 || *offMinutes > 59)
            return std::nullopt;
        offsetSeconds = sign * (*offHours * 3600 + *offMinutes * 60);
    } else {
        return std::nullopt;
    }
    if (pos != s.size())
        return std::nullopt;

    if (*year == 0 || !QDate::isValid(*year, *month, *day) || *hour > 23 || *minute > 59 || *second > 59)
        return std::nullopt;
    const QDateTime local(QDate(*year, *month, *day), QTime(*hour, *minute, *second, millisecond),
                          QTimeZone(offsetSeconds));
    if (!local.isValid())
        return std::nullopt;
    return local.toUTC();
}

} // namespace norvelle
