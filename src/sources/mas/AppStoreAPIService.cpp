#include "sources/mas/AppStoreAPIService.h"

#include "platform/Logger.h"
#include "platform/http/HttpClient.h"
#include "sources/ToolRunner.h"
#include "sources/mas/AppStoreLookupReply.h"
#include "sources/mas/LocaleRegionProvider.h"

#include <QUrlQuery>

namespace norvelle {

namespace {

std::shared_ptr<const HttpClient> defaultHttpClient()
{
    HttpClient::Options options;
    options.timeout = AppStoreAPIService::requestTimeout;
    options.maxBodyBytes = AppStoreAPIService::maxAnswerBytes;
    return std::make_shared<HttpClient>(options);
}

AppStoreAPIService::Options completed(AppStoreAPIService::Options options)
{
    if (!options.http)
        options.http = defaultHttpClient();
    if (!options.region)
        options.region = std::make_shared<LocaleRegionProvider>();
    return options;
}

bool isUsableUrl(const QUrl& url)
{
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("https") || scheme == QLatin1String("http"));
}

QString encoded(const QString& value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

} // namespace

AppStoreAPIService::AppStoreAPIService() : AppStoreAPIService(Options{}) {}

AppStoreAPIService::AppStoreAPIService(Options options) : m_options(completed(std::move(options))) {}

AppStoreAPIService::~AppStoreAPIService() = default;

QUrl AppStoreAPIService::lookupUrl(const QUrl& base, const QString& bundleIdentifier, const QString& country)
{
    // Every value is encoded whole (QUrl::toPercentEncoding leaves only the unreserved
    // characters as they are), so "&", "=", "#", "+" and "%" in an identifier stay part of
    // its value; a reverse-DNS identifier passes through unchanged.
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("bundleId"), encoded(bundleIdentifier));
    query.addQueryItem(QStringLiteral("country"), encoded(country));
    query.addQueryItem(QStringLiteral("limit"), QStringLiteral("1"));
    QUrl url = base;
    url.setQuery(query);
    return url;
}

std::variant<std::optional<AppStoreMetadata>, QUrl>
AppStoreAPIService::prepare(const QString& bundleIdentifier, const std::optional<QString>& expectedVersion)
{
    std::optional<AppStoreMetadata> cached;
    switch (consultCache(bundleIdentifier, expectedVersion, cached)) {
    case CacheAnswer::hit:
        return cached;
    case CacheAnswer::failed:
        return std::nullopt;
    case CacheAnswer::miss:
        break;
    }

    const QUrl url = lookupUrl(m_options.lookupUrl, bundleIdentifier, country());
    if (!isUsableUrl(url)) {
        Logger::warning(QStringLiteral("Invalid iTunes API URL for bundle: ") + bundleIdentifier);
        return fail(bundleIdentifier);
    }
    return url;
}

std::optional<AppStoreMetadata> AppStoreAPIService::receive(const QString& bundleIdentifier,
                                                            const std::optional<QString>& expectedVersion,
                                                            const HttpResponse& response)
{
    AppStoreLookupReply::Result result =
        AppStoreLookupReply::read(response.statusCode, response.body, bundleIdentifier);
    if (const auto* rejection = std::get_if<AppStoreLookupReply::Rejection>(&result)) {
        Logger::log(rejection->message, rejection->level);
        return fail(bundleIdentifier);
    }
    AppStoreMetadata metadata = std::get<AppStoreMetadata>(std::move(result));

    if (expectedVersion && *expectedVersion != metadata.version)
        Logger::warning(QStringLiteral("Version mismatch for ") + bundleIdentifier +
                        QStringLiteral(": expected ") + *expectedVersion +
                        QStringLiteral(" but iTunes API shows ") + metadata.version);

    std::lock_guard lock(m_mutex);
    m_cache.insert(bundleIdentifier, metadata);
    return metadata;
}

std::optional<AppStoreMetadata>
AppStoreAPIService::fetchMetadata(const QString& bundleIdentifier,
                                  const std::optional<QString>& expectedVersion)
{
    auto prepared = prepare(bundleIdentifier, expectedVersion);
    if (auto* answer = std::get_if<std::optional<AppStoreMetadata>>(&prepared))
        return *answer;

    HttpResponse response;
    try {
        response = m_options.http->get(std::get<QUrl>(prepared));
    } catch (...) {
        return failTransfer(bundleIdentifier, std::current_exception());
    }
    return receive(bundleIdentifier, expectedVersion, response);
}

void AppStoreAPIService::fetchMetadataAsync(const QString& bundleIdentifier,
                                            const std::optional<QString>& expectedVersion,
                                            MetadataHandler handler)
{
    auto prepared = prepare(bundleIdentifier, expectedVersion);
    if (auto* answer = std::get_if<std::optional<AppStoreMetadata>>(&prepared)) {
        handler(*answer);
        return;
    }
    m_options.http->getAsync(
        std::get<QUrl>(prepared), [this, bundleIdentifier, expectedVersion, handler = std::move(handler)](
                                      HttpResponse response, std::exception_ptr error) {
            if (error) {
                handler(failTransfer(bundleIdentifier, error));
                return;
            }
            handler(receive(bundleIdentifier, expectedVersion, response));
        });
}

AppStoreAPIService::CacheAnswer
AppStoreAPIService::consultCache(const QString& bundleIdentifier,
                                 const std::optional<QString>& expectedVersion,
                                 std::optional<AppStoreMetadata>& cached) const
{
    std::optional<QString> staleVersion;
    CacheAnswer answer = CacheAnswer::miss;
    {
        std::lock_guard lock(m_mutex);
        const auto entry = m_cache.constFind(bundleIdentifier);
        if (entry != m_cache.cend()) {
            if (!expectedVersion || *expectedVersion == entry->version) {
                cached = *entry;
                return CacheAnswer::hit;
            }
            staleVersion = entry->version;
        }
        if (m_failedLookups.contains(bundleIdentifier))
            answer = CacheAnswer::failed;
    }
    if (staleVersion)
        Logger::debug(QStringLiteral("Cached version ") + *staleVersion +
                      QStringLiteral(" doesn't match expected ") + *expectedVersion +
                      QStringLiteral(" for ") + bundleIdentifier + QStringLiteral(", refetching"));
    return answer;
}

std::optional<AppStoreMetadata> AppStoreAPIService::failTransfer(const QString& bundleIdentifier,
                                                                 const std::exception_ptr& error)
{
    // A quit aborts the lookups still in flight; that says nothing about the network or the store.
    if (ToolRunner::isEndedByQuitting(error)) {
        Logger::info(QStringLiteral("Fetching App Store metadata for ") + bundleIdentifier +
                     QStringLiteral(" ended by quitting"));
        return std::nullopt;
    }
    Logger::warning(QStringLiteral("Network error fetching App Store metadata for ") + bundleIdentifier +
                    QStringLiteral(": ") + describeException(error));
    return fail(bundleIdentifier);
}

std::optional<AppStoreMetadata> AppStoreAPIService::fail(const QString& bundleIdentifier)
{
    std::lock_guard lock(m_mutex);
    m_failedLookups.insert(bundleIdentifier);
    return std::nullopt;
}

QString AppStoreAPIService::country() const
{
    const std::optional<QString> region = m_options.region->currentRegion();
    return region && !region->isEmpty() ? *region : QStringLiteral("US");
}

} // namespace norvelle
