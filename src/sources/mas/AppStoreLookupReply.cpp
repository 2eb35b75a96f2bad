#include "sources/mas/AppStoreLookupReply.h"

#include "util/Iso8601.h"
#include "util/Json.h"
#include "util/StrictText.h"

namespace norvelle {

namespace {

AppStoreLookupReply::Rejection warning(const QString& text, const QString& bundleIdentifier)
{
    return {Logger::Level::warning, text + bundleIdentifier};
}

AppStoreLookupReply::Rejection debug(const QString& text, const QString& bundleIdentifier)
{
    return {Logger::Level::debug, text + bundleIdentifier};
}

} // namespace

AppStoreLookupReply::Result AppStoreLookupReply::read(int statusCode, QByteArrayView body,
                                                      const QString& bundleIdentifier)
{
    if (statusCode <= 0)
        return warning(QStringLiteral("Invalid HTTP response from iTunes API for bundle: "),
                       bundleIdentifier);
    if (statusCode != 200)
        return warning(QStringLiteral("iTunes API returned status %1 for bundle: ").arg(statusCode),
                       bundleIdentifier);

    const std::optional<QJsonObject> root = json::parseObject(body);
    const std::optional<qint64> resultCount = root ? json::int64(*root, u"resultCount") : std::nullopt;
    if (!resultCount)
        return warning(QStringLiteral("Failed to parse iTunes API response for bundle: "), bundleIdentifier);
    if (*resultCount == 0)
        return debug(QStringLiteral("No App Store results found for bundle: "), bundleIdentifier);

    const std::optional<QList<QJsonObject>> results = json::objectList(*root, u"results");
    if (!results || results->isEmpty())
        return debug(QStringLiteral("No results array in iTunes API response for bundle: "),
                     bundleIdentifier);

    const QJsonObject& first = results->first();
    const std::optional<qint64> trackId = json::int64(first, u"trackId");
    const std::optional<QString> bundleId = json::string(first, u"bundleId");
    const std::optional<QString> trackName = json::string(first, u"trackName");
    const std::optional<QString> version = json::string(first, u"version");
    if (!trackId || !bundleId || !trackName || !version)
        return warning(QStringLiteral("Missing required fields in iTunes API response for bundle: "),
                       bundleIdentifier);

    return AppStoreMetadata{*trackId,
                            *bundleId,
                            *trackName,
                            *version,
                            json::string(first, u"releaseNotes"),
                            releaseDate(first.value(u"currentVersionReleaseDate")),
                            fileSizeBytes(first.value(u"fileSizeBytes")),
                            trackViewUrl(first.value(u"trackViewUrl"))};
}

std::optional<QDateTime> AppStoreLookupReply::releaseDate(const QJsonValue& value)
{
    const std::optional<QString> text = json::string(value);
    if (!text)
        return std::nullopt;
    return Iso8601::parse(*text, Iso8601::Fraction::reject);
}

std::optional<qint64> AppStoreLookupReply::fileSizeBytes(const QJsonValue& value)
{
    if (const std::optional<QString> text = json::string(value))
        return parseInt64Strict(*text);
    return json::int64(value);
}

std::optional<QUrl> AppStoreLookupReply::trackViewUrl(const QJsonValue& value)
{
    const std::optional<QString> text = json::string(value);
    if (!text)
        return std::nullopt;
    const QUrl url(*text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("https") && scheme != QLatin1String("http")))
        return std::nullopt;
    return url;
}

} // namespace norvelle
