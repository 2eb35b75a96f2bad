#include "sources/brew/CatalogueReader.h"

#include "sources/brew/CaskParser.h"
#include "util/Json.h"
#include "util/TaskGroup.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QThread>
#include <algorithm>
#include <simdjson.h>
#include <vector>

namespace norvelle {

namespace {

using simdjson::dom::element;

QString text(std::string_view view)
{
    return QString::fromUtf8(view.data(), qsizetype(view.size()));
}

std::optional<QString> string(const std::optional<element>& value)
{
    std::string_view view;
    if (!value || value->get_string().get(view) != simdjson::SUCCESS)
        return std::nullopt;
    return text(view);
}

bool boolean(const std::optional<element>& value)
{
    bool flag = false;
    return value && value->get_bool().get(flag) == simdjson::SUCCESS && flag;
}

// The strings of an array made only of strings; none for anything else.
std::optional<QStringList> stringList(const std::optional<element>& value)
{
    simdjson::dom::array items;
    if (!value || value->get_array().get(items) != simdjson::SUCCESS)
        return std::nullopt;
    QStringList list;
    for (const element item : items) {
        std::string_view view;
        if (item.get_string().get(view) != simdjson::SUCCESS)
            return std::nullopt;
        list.append(text(view));
    }
    return list;
}

// One catalogue entry, as CaskParser::parseCask reads the same entry as a QJsonObject.
struct Entry {
    bool empty = true;
    std::optional<element> token, version, name, desc, homepage, caveats, deprecated, disabled, artifacts;

    explicit Entry(const simdjson::dom::object& object)
    {
        const std::pair<std::string_view, std::optional<element>*> members[] = {{"token", &token},
                                                                                {"version", &version},
                                                                                {"name", &name},
                                                                                {"desc", &desc},
                                                                                {"homepage", &homepage},
                                                                                {"caveats", &caveats},
                                                                                {"deprecated", &deprecated},
                                                                                {"disabled", &disabled},
                                                                                {"artifacts", &artifacts}};
        for (const simdjson::dom::key_value_pair member : object) {
            empty = false;
            for (const auto& [key, slot] : members) {
                if (member.key == key) {
                    *slot = member.value; // the last of a repeated member counts, as in Qt
                    break;
                }
            }
        }
    }

    bool requiresSudo(const std::optional<QString>& caveatText) const
    {
        simdjson::dom::array list;
        if (empty || !artifacts || artifacts->get_array().get(list) != simdjson::SUCCESS)
            return false;
        for (const element artifact : list) {
            simdjson::dom::object members;
            if (artifact.get_object().get(members) != simdjson::SUCCESS)
                continue;
            for (const simdjson::dom::key_value_pair member : members)
                if (member.key == "installer" || member.key == "pkg")
                    return true;
        }
        if (!caveatText)
            return false;
        const QString lowered = caveatText->toLower();
        const QStringList& phrases = CaskParser::sudoCaveatPhrases();
        return std::any_of(phrases.cbegin(), phrases.cend(),
                           [&](const QString& phrase) { return lowered.contains(phrase); });
    }

    QStringList appArtifacts() const
    {
        QStringList result;
        simdjson::dom::array list;
        if (!artifacts || artifacts->get_array().get(list) != simdjson::SUCCESS)
            return result;
        for (const element artifact : list) {
            simdjson::dom::object members;
            if (artifact.get_object().get(members) != simdjson::SUCCESS)
                continue;
            std::optional<element> app;
            for (const simdjson::dom::key_value_pair member : members)
                if (member.key == "app")
                    app = member.value;
            if (const std::optional<QStringList> apps = stringList(app))
                result.append(*apps);
        }
        return result;
    }

    std::optional<Cask> cask() const
    {
        const std::optional<QString> tokenText = string(token);
        const std::optional<QString> versionText = string(version);
        if (!tokenText || !versionText)
            return std::nullopt;
        Cask cask;
        cask.caskName = *tokenText;
        cask.currentVersion = *versionText;
        cask.latestVersion = *versionText;
        cask.description = string(desc);
        if (!cask.description) {
            const std::optional<QStringList> names = stringList(name);
            if (names && !names->isEmpty())
                cask.description = names->first();
        }
        if (const std::optional<QString> page = string(homepage))
            cask.homepage = CaskParser::parseHomepage(QJsonValue(*page));
        const std::optional<QString> caveatText = string(caveats);
        if (caveatText)
            cask.warnings = QStringList{*caveatText};
        cask.requiresSudo = requiresSudo(caveatText);
        cask.artifacts = appArtifacts();
        cask.deprecated = boolean(deprecated);
        cask.disabled = boolean(disabled);
        return cask;
    }
};

} // namespace

std::optional<QMap<QString, Cask>> CatalogueReader::readWithQt(QByteArrayView document)
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
    element root;
    // util/Json takes only an object or an array at the top; anything else refused gets Qt's words.
    if (parser.parse(data, size, false).get(root) != simdjson::SUCCESS ||
        !(root.is_array() || root.is_object()))
        return readWithQt(document);
    simdjson::dom::array entries;
    if (root.get_array().get(entries) != simdjson::SUCCESS)
        return std::nullopt;
    std::vector<simdjson::dom::object> objects;
    objects.reserve(entries.size());
    for (const element entry : entries) {
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
                    converted[i] = Entry(objects[i]).cask();
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
