#include "ui/detail/MetadataFormat.h"

#include <QLocale>
#include <cmath>
#include <cstdlib>

namespace norvelle {

QString MetadataFormat::relativeShort(const QDateTime& date, const QDateTime& now)
{
    const qint64 seconds = now.secsTo(date);
    const qint64 distance = std::llabs(seconds);
    struct Unit {
        qint64 seconds;
        const char* name;
    };
    static const Unit units[] = {{365 * 86400, "yr."}, {30 * 86400, "mo."}, {7 * 86400, "wk."},
                                 {86400, "day"},       {3600, "hr."},       {60, "min."}, {1, "sec."}};
    QString text;
    for (const Unit& unit : units) {
        if (distance >= unit.seconds || unit.seconds == 1) {
            const qint64 count = distance / unit.seconds;
            QString name = QString::fromLatin1(unit.name);
            if (name == QLatin1String("day") && count != 1)
                name = QStringLiteral("days");
            text = QStringLiteral("%1 %2").arg(count).arg(name);
            break;
        }
    }
    return seconds < 0 ? text + QStringLiteral(" ago") : QStringLiteral("in ") + text;
}

QString MetadataFormat::byteCount(qint64 bytes)
{
    if (bytes == 0)
        return QStringLiteral("Zero KB");
    const double value = static_cast<double>(std::llabs(bytes));
    const QString sign = bytes < 0 ? QStringLiteral("-") : QString();
    if (value < 1000)
        return sign + QStringLiteral("%1 %2").arg(std::llabs(bytes)).arg(value == 1 ? "byte" : "bytes");
    static const char* names[] = {"KB", "MB", "GB", "TB", "PB"};
    static const int decimals[] = {0, 1, 2, 2, 2};
    double scaled = value / 1000;
    int unit = 0;
    while (scaled >= 1000 && unit < 4) {
        scaled /= 1000;
        ++unit;
    }
    QString number = QString::number(scaled, 'f', decimals[unit]);
    if (number.contains(QLatin1Char('.'))) {
        while (number.endsWith(QLatin1Char('0')))
            number.chop(1);
        if (number.endsWith(QLatin1Char('.')))
            number.chop(1);
    }
    return sign + number + QLatin1Char(' ') + QString::fromLatin1(names[unit]);
}

QString MetadataFormat::abbreviatedDate(const QDateTime& date)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(date.date(), QStringLiteral("MMM d, yyyy"));
}

} // namespace norvelle
