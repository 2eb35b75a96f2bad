#include "sources/brew/CatalogueMaps.h"

namespace norvelle {

CatalogueMaps CatalogueMaps::fromParsed(QMap<QString, Cask> allCasks, const QSet<QString>& installedTokens,
                                        std::shared_ptr<const AdoptionMatcher> matcher,
                                        const QSet<QString>& markedTokens)
{
    CatalogueMaps maps;
    // The few installed casks are looked up rather than every cask visited: a whole catalogue
    // takes milliseconds to walk, on the way from the last byte to the list.
    for (const QString& token : markedTokens) {
        if (installedTokens.contains(token))
            continue;
        if (const auto it = allCasks.find(token); it != allCasks.end())
            it->adopted = false;
    }
    for (const QString& token : installedTokens) {
        const auto it = allCasks.find(token);
        if (it == allCasks.end())
            continue;
        it->adopted = true;
        maps.installedCasks.insert(token, it.value());
    }
    maps.allCasks = std::move(allCasks);
    maps.matcher = matcher ? std::move(matcher) : std::make_shared<const AdoptionMatcher>(maps.allCasks);
    return maps;
}

} // namespace norvelle
