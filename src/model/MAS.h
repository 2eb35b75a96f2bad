#pragma once

#include <QMetaType>
#include <QString>
#include <optional>

namespace norvelle {

// What the Mac App Store knows about one installed application.
struct MAS {
    QString appID;
    QString storeVersion;
    QString installedVersion;
    QString bundleIdentifier;
    // Absent when the store lookup gave no size; a present 0 is a different value.
    std::optional<qint64> fileSizeBytes;

    bool operator==(const MAS& other) const = default;
};

size_t qHash(const MAS& mas, size_t seed = 0);

} // namespace norvelle

Q_DECLARE_METATYPE(norvelle::MAS)
