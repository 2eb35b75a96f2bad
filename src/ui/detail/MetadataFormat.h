#pragma once

#include <QDateTime>
#include <QString>

namespace norvelle {

// The platform's short relative times and file-size texts, in English.
class MetadataFormat {
public:
    // "5 min. ago", "in 2 days", "now"-like distances with abbreviated units.
    static QString relativeShort(const QDateTime& date, const QDateTime& now);
    // Decimal units as file sizes are shown: "512 bytes", "12 KB", "3.4 MB", "1.25 GB", "Zero KB".
    static QString byteCount(qint64 bytes);
    // The date alone, abbreviated: "Mar 5, 2026".
    static QString abbreviatedDate(const QDateTime& date);
};

} // namespace norvelle
