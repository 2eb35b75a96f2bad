#include "sources/brew/CatalogueEntry.h"

#include "sources/brew/CaskParser.h"

#include <QJsonValue>
#include <QStringList>
#include <algorithm>

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

std::optional<Cask> catalogueCask(const simdjson::dom::object& entry)
{
    return Entry(entry).cask();
}

} // namespace norvelle
