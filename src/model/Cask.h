#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace norvelle {

// What Homebrew knows about one installed application. A plain value: a changed
// record is a new one built from the old one's fields.
struct Cask {
    QString caskName;
    QString currentVersion;
    QString latestVersion;
    std::optional<QString> description;
    std::optional<QUrl> homepage;
    QStringList warnings;
    bool adopted = false;
    bool adoptable = false;
    bool requiresSudo = false;
    QStringList artifacts;
    bool deprecated = false;
    bool disabled = false;

    // Every field takes part, in declaration order.
    bool operator==(const Cask& other) const = default;
};

size_t qHash(const Cask& cask, size_t seed = 0);

} // namespace norvelle

Q_DECLARE_METATYPE(norvelle::Cask)
