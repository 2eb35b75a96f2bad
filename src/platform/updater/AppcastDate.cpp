#include "platform/updater/AppcastDate.h"

#include <QRegularExpression>
#include <QStringList>
#include <array>
#include <optional>

namespace norvelle {

namespace {

constexpr std::array<const char*, 7> kWeekdays{"monday", "tuesday",  "wednesday", "thursday",
                                               "friday", "saturday", "sunday"};
constexpr std::array<const char*, 12> kMonths{"january",   "february", "march",    "april",
                                              "may",       "june",     "july",     "august",
                                              "september", "october",  "november", "december"};

// The position of an English name, written out or cut to its first three letters.
template <std::size_t N>
std::optional<int> nameIndex(const QString& word, const std::array<const char*, N>& names)
{
    const QString lower = word.toLower();
    for (std::size_t i = 0; i < N; ++i) {
        const QLatin1StringView name(names[i]);
        if (lower == name || (lower.size() == 3 && name.startsWith(lower)))
            return int(i);
    }
    return std::nullopt;
}

bool isDigits(const QString& text, qsizetype minimum, qsizetype maximum)
{
    if (text.size() < minimum || text.size() > maximum)
        return false;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// The zone's offset from UTC in seconds.
std::optional<int> zoneOffset(const QString& zone)
{
    if ((zone.startsWith(u'+') || zone.startsWith(u'-')) && isDigits(zone.mid(1), 4, 4)) {
        const int hours = zone.mid(1, 2).toInt();
        const int minutes = zone.mid(3, 2).toInt();
        if (hours > 23 || minutes > 59)
            return std::nullopt;
        const int seconds = hours * 3600 + minutes * 60;
        return zone.startsWith(u'-') ? -seconds : seconds;
    }
    static const QHash<QString, int> named{{"GMT", 0},  {"UT", 0},   {"UTC", 0},  {"Z", 0},
                                           {"EST", -5}, {"EDT", -4}, {"CST", -6}, {"CDT", -5},
                                           {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7}};
    const auto it = named.constFind(zone.toUpper());
    if (it == named.constEnd())
        return std::nullopt;
    return *it * 3600;
}

} // namespace

QDateTime AppcastDate::parse(const QString& text)
{
    QStringList words = text.simplified().split(u' ', Qt::SkipEmptyParts);
    // The weekday and its comma: "Wed, 09", "Wed,09" or "Wed 09".
    if (!words.isEmpty() && !words.first().isEmpty() && !words.first().front().isDigit()) {
        QString first = words.takeFirst();
        const qsizetype comma = first.indexOf(u',');
        if (comma >= 0) {
            const QString rest = first.mid(comma + 1);
            first.truncate(comma);
            if (!rest.isEmpty())
                words.prepend(rest);
        }
        if (!nameIndex(first, kWeekdays))
            return {};
    }
    if (words.size() != 4 && words.size() != 5)
        return {};

    const std::optional<int> month = nameIndex(words[1], kMonths);
    if (!isDigits(words[0], 1, 2) || !month || !isDigits(words[2], 4, 4))
        return {};
    const QDate date(words[2].toInt(), *month + 1, words[0].toInt());

    static const QRegularExpression clock(QStringLiteral("^(\\d\\d):(\\d\\d)(?::(\\d\\d))?$"));
    const QRegularExpressionMatch match = clock.match(words[3]);
    if (!match.hasMatch())
        return {};
    const QTime time(match.captured(1).toInt(), match.captured(2).toInt(),
                     match.hasCaptured(3) ? match.captured(3).toInt() : 0);

    const std::optional<int> offset = words.size() == 5 ? zoneOffset(words[4]) : 0;
    if (!date.isValid() || !time.isValid() || !offset)
        return {};
    return QDateTime(date, time, Qt::OffsetFromUTC, *offset).toUTC();
}

} // namespace norvelle
