#include "sources/brew/CaskParser.h"

#include "util/Json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

namespace norvelle {

namespace {

bool boolMember(const QJsonObject& object, QStringView key)
{
    return json::boolean(object, key).value_or(false);
}

} // namespace

const QStringList& CaskParser::sudoCaveatPhrases()
{
    static const QStringList phrases{
        QStringLiteral("installer manual"),
        QStringLiteral("requires authentication"),
        QStringLiteral("admin privileges"),
        QStringLiteral("administrator"),
        QStringLiteral("sudo"),
        QStringLiteral("password"),
        QStringLiteral("privilege"),
    };
    return phrases;
}

std::optional<QUrl> CaskParser::parseHomepage(const QJsonValue& value)
{
    if (!value.isString())
        return std::nullopt;
    const QString text = value.toString();
    if (text.isEmpty())
        return std::nullopt;
    QUrl url(text, QUrl::StrictMode);
    // A homepage is only ever opened in a browser: anything but a web address is dropped.
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return std::nullopt;
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return std::nullopt;
    return url;
}

std::optional<Cask> CaskParser::parseCask(const QJsonObject& object, bool installed)
{
    const std::optional<QString> token = json::string(object, u"token");
    const std::optional<QString> version = json::string(object, u"version");
    if (!token || !version)
        return std::nullopt;

    Cask cask;
    cask.caskName = *token;
    cask.currentVersion = *version;
    cask.latestVersion = *version;
    cask.description = json::string(object, u"desc");
    if (!cask.description) {
        const std::optional<QStringList> names = json::stringList(object, u"name");
        if (names && !names->isEmpty())
            cask.description = names->first();
    }
    cask.homepage = parseHomepage(object.value(QLatin1StringView("homepage")));
    if (const std::optional<QString> caveats = json::string(object, u"caveats"))
        cask.warnings = QStringList{*caveats};
    cask.adopted = installed;
    cask.adoptable = false;
    cask.requiresSudo = determineRequiresSudo(object);
    cask.artifacts = extractAppArtifacts(object);
    cask.deprecated = boolMember(object, u"deprecated");
    cask.disabled = boolMember(object, u"disabled");
    return cask;
}

bool CaskParser::determineRequiresSudo(const QJsonObject& object)
{
    if (object.isEmpty())
        return false;
    const QJsonValue artifacts = object.value(QLatin1StringView("artifacts"));
    if (!artifacts.isArray())
        return false;
    const QJsonArray list = artifacts.toArray();
    for (const QJsonValue& element : list) {
        if (!element.isObject())
            continue;
        const QJsonObject artifact = element.toObject();
        if (artifact.contains(QLatin1StringView("installer")) || artifact.contains(QLatin1StringView("pkg")))
            return true;
    }
    const std::optional<QString> caveats = json::string(object, u"caveats");
    if (!caveats)
        return false;
    // QString::toLower follows Unicode's default mapping, not the user's locale.
    const QString lowered = caveats->toLower();
    for (const QString& phrase : sudoCaveatPhrases()) {
        if (lowered.contains(phrase))
            return true;
    }
    return false;
}

QStringList CaskParser::extractAppArtifacts(const QJsonObject& object)
{
    QStringList result;
    const QJsonValue artifacts = object.value(QLatin1StringView("artifacts"));
    if (!artifacts.isArray())
        return result;
    const QJsonArray list = artifacts.toArray();
    for (const QJsonValue& element : list) {
        if (!element.isObject())
            continue;
        if (const std::optional<QStringList> apps = json::stringList(element.toObject(), u"app"))
            result.append(*apps);
    }
    return result;
}

std::optional<Cask> CaskParser::parseOutdatedCask(const QJsonObject& entry, bool requiresSudo)
{
    const std::optional<QString> name = json::string(entry, u"name");
    const std::optional<QStringList> installed = json::stringList(entry, u"installed_versions");
    const std::optional<QString> current = json::string(entry, u"current_version");
    if (!name || !installed || installed->isEmpty() || !current)
        return std::nullopt;

    Cask cask;
    cask.caskName = *name;
    cask.currentVersion = installed->first();
    cask.latestVersion = *current;
    cask.description = json::string(entry, u"desc");
    cask.homepage = parseHomepage(entry.value(QLatin1StringView("homepage")));
    cask.adopted = true;
    cask.adoptable = false;
    cask.requiresSudo = requiresSudo;
    return cask;
}

QString CaskParser::render(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace norvelle
