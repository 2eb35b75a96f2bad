#include "sources/brew/CaskParser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

namespace norvelle {

namespace {

std::optional<QString> stringMember(const QJsonObject& object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

// A list that must hold strings is rejected whole when one element is not a string.
std::optional<QStringList> stringListMember(const QJsonObject& object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray array = value.toArray();
    QStringList result;
    result.reserve(array.size());
    for (const QJsonValue& element : array) {
        if (!element.isString())
            return std::nullopt;
        result.append(element.toString());
    }
    return result;
}

bool boolMember(const QJsonObject& object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    return value.isBool() && value.toBool();
}

} // namespace

const QStringList& CaskParser::sudoCaveatPhrases()
{
    static const QStringList phrases{
        QStringLiteral("installer manual"), QStringLiteral("requires authentication"),
        QStringLiteral("admin privileges"), QStringLiteral("administrator"),
        QStringLiteral("sudo"),             QStringLiteral("password"),
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
    const std::optional<QString> token = stringMember(object, QLatin1StringView("token"));
    const std::optional<QString> version = stringMember(object, QLatin1StringView("version"));
    if (!token || !version)
        return std::nullopt;

    Cask cask;
    cask.caskName = *token;
    cask.currentVersion = *version;
    cask.latestVersion = *version;
    cask.description = stringMember(object, QLatin1StringView("desc"));
    if (!cask.description) {
        const std::optional<QStringList> names = stringListMember(object, QLatin1StringView("name"));
        if (names && !names->isEmpty())
            cask.description = names->first();
    }
    cask.homepage = parseHomepage(object.value(QLatin1StringView("homepage")));
    if (const std::optional<QString> caveats = stringMember(object, QLatin1StringView("caveats")))
        cask.warnings = QStringList{*caveats};
    cask.adopted = installed;
    cask.adoptable = false;
    cask.requiresSudo = determineRequiresSudo(object);
    cask.artifacts = extractAppArtifacts(object);
    cask.deprecated = boolMember(object, QLatin1StringView("deprecated"));
    cask.disabled = boolMember(object, QLatin1StringView("disabled"));
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
    const std::optional<QString> caveats = stringMember(object, QLatin1StringView("caveats"));
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
        if (const std::optional<QStringList> apps = stringListMember(element.toObject(), QLatin1StringView("app")))
            result.append(*apps);
    }
    return result;
}

std::optional<Cask> CaskParser::parseOutdatedCask(const QJsonObject& entry, bool requiresSudo)
{
    const std::optional<QString> name = stringMember(entry, QLatin1StringView("name"));
    const std::optional<QStringList> installed = stringListMember(entry, QLatin1StringView("installed_versions"));
    const std::optional<QString> current = stringMember(entry, QLatin1StringView("current_version"));
    if (!name || !installed || installed->isEmpty() || !current)
        return std::nullopt;

    Cask cask;
    cask.caskName = *name;
    cask.currentVersion = installed->first();
    cask.latestVersion = *current;
    cask.description = stringMember(entry, QLatin1StringView("desc"));
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
