#pragma once

#include "model/Cask.h"
#include "sources/brew/AdoptionMatcher.h"

#include <QHash>
#include <QJsonArray>
#include <QMap>
#include <QSet>
#include <QString>
#include <memory>

namespace norvelle {

// Everything one pass over the cask catalogue yields: every cask by token, the
// installed ones among them, and the keys the adoption search looks up.
// Built away from the service's lock and swapped in whole.
struct CatalogueMaps {
    QMap<QString, Cask> allCasks;
    QHash<QString, Cask> installedCasks;
    std::shared_ptr<const AdoptionMatcher> matcher;

    // Entries that are empty or lack a "token" string are skipped, and so are
    // entries the cask parser rejects; a later entry of a token replaces an earlier one.
    static CatalogueMaps build(const QJsonArray& catalogue, const QSet<QString>& installedTokens);

    // The maps again from casks parsed earlier, when no catalogue document is at hand.
    static CatalogueMaps fromParsed(const QMap<QString, Cask>& allCasks,
                                    const QSet<QString>& installedTokens);
};

} // namespace norvelle
