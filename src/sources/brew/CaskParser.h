#pragma once

#include "model/Cask.h"

#include <QJsonObject>
#include <QStringList>
#include <optional>

namespace norvelle {

// Turns Homebrew's JSON descriptions of casks into Cask values: entries of the
// cask catalogue (the same shape `brew info --json=v2` prints) and entries of
// `brew outdated --json=v2`. Pure functions; the service owns every map.
class CaskParser {
public:
    // A catalogue entry; none when "token" or "version" is not a string.
    static std::optional<Cask> parseCask(const QJsonObject& object, bool installed);

    // An installer or pkg artifact, or caveats that talk about passwords or
    // administrator rights; only casks with an "artifacts" list are examined.
    static bool determineRequiresSudo(const QJsonObject& object);

    // The bundle names of every "app" artifact made only of strings, in order.
    static QStringList extractAppArtifacts(const QJsonObject& object);

    // The caveat phrases that mean a password will be asked for, lower case, in test order.
    static const QStringList& sudoCaveatPhrases();

    // One entry of the outdated list; none when "name", a non-empty
    // "installed_versions" string list or "current_version" is missing.
    static std::optional<Cask> parseOutdatedCask(const QJsonObject& entry, bool requiresSudo);

    // A readable one-line form of a rejected entry for the log.
    static QString render(const QJsonObject& object);

    // Homepage texts become URLs only when they parse strictly and are absolute.
    static std::optional<QUrl> parseHomepage(const QJsonValue& value);

private:
    CaskParser() = delete;
};

} // namespace norvelle
