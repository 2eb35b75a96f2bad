#include "sources/brew/CatalogueMaps.h"

namespace norvelle {

CatalogueMaps CatalogueMaps::fromParsed(QMap<QString, Cask> allCasks, const QSet<QString>& installedTokens,
                                        std::shared_ptr<const AdoptionMatcher> matcher)
{
    CatalogueMaps maps;
    for (auto it = allCasks.begin(); it != allCasks.end(); ++it) {
        it->adopted = installedTokens.contains(it.key());
        if (it->adopted)
            maps.installedCasks.insert(it.key(), it.value());
    }
    maps.allCasks = std::move(allCasks);
    maps.matcher = matcher ? std::move(matcher) : std::make_shared<const AdoptionMatcher>(maps.allCasks);
    return maps;
}

} // namespace norvelle
