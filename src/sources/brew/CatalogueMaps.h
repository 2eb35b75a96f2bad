#pragma once

#include "model/Cask.h"
#include "sources/brew/AdoptionMatcher.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>
#include <memory>

namespace norvelle {

// Everything the service keeps of the cask catalogue: every cask by token, the installed ones
// among them, and the keys the adoption search looks up. Built away from the service's lock and
// swapped in whole.
struct CatalogueMaps {
    QMap<QString, Cask> allCasks;
    QHash<QString, Cask> installedCasks;
    std::shared_ptr<const AdoptionMatcher> matcher;

    // The maps of casks read from a catalogue (CatalogueReader), marked installed or not by the
    // tokens. Of the casks given, only those of markedTokens may be marked installed already (as
    // the ones of an earlier call are); a catalogue just read has none. The adoption keys do not
    // depend on what is installed: a matcher built earlier from the same casks is taken over when
    // given, else one is built.
    static CatalogueMaps fromParsed(QMap<QString, Cask> allCasks, const QSet<QString>& installedTokens,
                                    std::shared_ptr<const AdoptionMatcher> matcher = nullptr,
                                    const QSet<QString>& markedTokens = {});
};

} // namespace norvelle
