#pragma once

#include <QMetaType>
#include <QString>
#include <QUrl>
#include <optional>

namespace norvelle {

// The Sparkle feed facts of one application.
struct SparkleInfo {
    QUrl feedURL;
    std::optional<QString> signature;
    std::optional<QUrl> releaseNotesURL;
    bool supportsAutomaticUpdates = false;

    bool operator==(const SparkleInfo& other) const = default;
};

size_t qHash(const SparkleInfo& info, size_t seed = 0);

} // namespace norvelle

Q_DECLARE_METATYPE(norvelle::SparkleInfo)
