#include "sources/brew/CatalogueMaps.h"

#include "sources/brew/CaskParser.h"

#include <QJsonObject>

namespace norvelle {

CatalogueMaps CatalogueMaps::build(const QJsonArray& catalogue, const QSet<QString>& installedTokens)
{
    CatalogueMaps maps;
    for (const QJsonValue& element : catalogue) {
        const QJsonObject object = element.toObject();
        if (object.isEmpty())
            continue;
        const QJsonValue token = object.value(QLatin1StringView("token"));
        if (!token.isString())
            continue;
        const bool installed = installedTokens.contains(token.toString());
        std::optional<Cask> cask = CaskParser::parseCask(object, installed);
        if (!cask)
            continue;
        if (installed)
            maps.installedCasks.insert(cask->caskName, *cask);
        maps.allCasks.insert(cask->caskName, std::move(*cask));
    }
    maps.matcher = std::make_shared<const AdoptionMatcher>(maps.allCasks);
    return maps;
}

CatalogueMaps CatalogueMaps::fromParsed(const QMap<QString, Cask>& allCasks,
                                        const QSet<QString>& installedTokens)
{
    CatalogueMaps maps;
    for (auto it = allCasks.cbegin(); it != allCasks.cend(); ++it) {
        Cask cask = it.value();
        cask.adopted = installedTokens.contains(it.key());
        if (cask.adopted)
            maps.installedCasks.insert(it.key(), cask);
        maps.allCasks.insert(it.key(), std::move(cask));
    }
    maps.matcher = std::make_shared<const AdoptionMatcher>(maps.allCasks);
    return maps;
}

} // namespace norvelle
