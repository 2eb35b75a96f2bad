#include "sources/brew/CatalogueReader.h"

#include "sources/brew/CaskParser.h"
#include "util/Json.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>

namespace norvelle {

std::optional<QMap<QString, Cask>> CatalogueReader::read(QByteArrayView document)
{
    const QJsonDocument parsed = json::parse(document);
    const QJsonArray entries = parsed.array();
    const bool allObjects = std::all_of(entries.cbegin(), entries.cend(),
                                        [](const QJsonValue& value) { return value.isObject(); });
    if (!parsed.isArray() || !allObjects)
        return std::nullopt;
    QMap<QString, Cask> casks;
    for (const QJsonValue& element : entries) {
        const QJsonObject entry = element.toObject();
        if (entry.isEmpty() || !entry.value(QLatin1StringView("token")).isString())
            continue;
        if (std::optional<Cask> cask = CaskParser::parseCask(entry, false))
            casks.insert(cask->caskName, std::move(*cask));
    }
    return casks;
}

} // namespace norvelle
