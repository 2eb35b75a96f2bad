#include "sources/brew/CatalogueReader.h"

#include "sources/brew/CaskParser.h"
#include "sources/brew/CatalogueEntry.h"
#include "util/Json.h"
#include "util/JsonError.h"
#include "util/TaskGroup.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QThread>
#include <algorithm>
#include <simdjson.h>
#include <vector>

namespace norvelle {

namespace {

// Qt's parser refuses a lone value at the top as "illegal value", which is true of text that is no
// JSON at all; in brackets a value parses, so JSON that merely holds no catalogue is told apart.
bool isJsonScalar(QByteArrayView document)
{
    const QByteArrayView text = document.trimmed();
    if (text.isEmpty() || text.front() == '[' || text.front() == '{')
        return false;
    const std::optional<QJsonDocument> wrapped =
        json::tryParse(QByteArray("[") + document.toByteArray() + QByteArray("]"));
    return wrapped && wrapped->array().size() == 1;
}

} // namespace

std::optional<QMap<QString, Cask>> CatalogueReader::readWithQt(QByteArrayView document)
{
    QJsonDocument parsed;
    try {
        parsed = json::parse(document);
    } catch (const JsonError&) {
        if (isJsonScalar(document))
            return std::nullopt;
        throw;
    }
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

std::optional<QMap<QString, Cask>> CatalogueReader::read(QByteArrayView document)
{
    const simdjson::padded_string padded(document.data(), size_t(document.size()));
    return readPadded(padded.data(), padded.size(), document);
}

std::optional<QMap<QString, Cask>> CatalogueReader::read(QByteArray&& document)
{
    // simdjson reads a little past the end; a downloaded body usually has that much room
    // already, and copying some 13 MB into fresh memory cost more than the parse itself.
    const qsizetype size = document.size();
    if (document.capacity() - size < qsizetype(simdjson::SIMDJSON_PADDING))
        document.reserve(size + qsizetype(simdjson::SIMDJSON_PADDING));
    return readPadded(document.constData(), size_t(size), document);
}

std::optional<QMap<QString, Cask>> CatalogueReader::readPadded(const char* data, size_t size,
                                                               QByteArrayView document)
{
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    // util/Json takes only an object or an array at the top; anything else refused gets Qt's words.
    if (parser.parse(data, size, false).get(root) != simdjson::SUCCESS ||
        !(root.is_array() || root.is_object()))
        return readWithQt(document);
    simdjson::dom::array entries;
    if (root.get_array().get(entries) != simdjson::SUCCESS)
        return std::nullopt;
    std::vector<simdjson::dom::object> objects;
    objects.reserve(entries.size());
    for (const simdjson::dom::element entry : entries) {
        if (!entry.is_object())
            return std::nullopt;
        objects.push_back(entry.get_object().value_unsafe());
    }

    // Turning the entries into casks is half of the work, and the entries are independent: it
    // is spread over the pool, and the casks go into the map in document order afterwards, so a
    // later entry of a token still replaces an earlier one.
    std::vector<std::optional<Cask>> converted(objects.size());
    const size_t parts = size_t(std::clamp(QThread::idealThreadCount(), 1, 8)) * 2;
    const size_t step = (objects.size() + parts - 1) / parts;
    {
        TaskGroup<void> group;
        for (size_t first = 0; first < objects.size(); first += step) {
            group.add([&objects, &converted, first, last = std::min(first + step, objects.size())] {
                for (size_t i = first; i < last; ++i)
                    converted[i] = catalogueCask(objects[i]);
            });
        }
        group.waitAll();
    }
    QMap<QString, Cask> casks;
    for (std::optional<Cask>& cask : converted) {
        if (cask)
            casks.insert(cask->caskName, std::move(*cask));
    }
    return casks;
}

} // namespace norvelle
