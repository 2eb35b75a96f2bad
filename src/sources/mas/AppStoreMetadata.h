#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QUrl>
#include <optional>

namespace norvelle {

// One application's entry in an iTunes lookup reply. Held in memory only.
struct AppStoreMetadata {
    qint64 trackId = 0;
    QString bundleId;
    QString trackName;
    QString version;
    std::optional<QString> releaseNotes;
    std::optional<QDateTime> releaseDate;
    std::optional<qint64> fileSizeBytes;
    std::optional<QUrl> trackViewUrl;

    bool operator==(const AppStoreMetadata& other) const = default;
};

size_t qHash(const AppStoreMetadata& metadata, size_t seed = 0);

} // namespace norvelle

Q_DECLARE_METATYPE(norvelle::AppStoreMetadata)
