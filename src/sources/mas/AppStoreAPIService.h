#pragma once

#include "platform/Paths.h"
#include "sources/mas/AppStoreMetadata.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QUrl>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>

namespace norvelle {

class HttpClient;
class RegionProvider;
struct HttpResponse;

// Store facts of one application (version, release notes, date, size) from the public iTunes
// lookup service, by bundle identifier.
//
// Every record received is kept for the life of the service, and every identifier whose lookup
// failed is remembered and never asked again, so one process asks at most once per application
// unless the expected version changes. Thread-safe; fetchMetadata blocks and is meant for worker
// threads, fetchMetadataAsync waits without a thread. The mutex is never held while a request is
// in flight.
class AppStoreAPIService {
public:
    static constexpr std::chrono::seconds requestTimeout{10};
    // A lookup answer is a few kilobytes; anything near this is not one.
    static constexpr qint64 maxAnswerBytes = qint64(4) << 20;

    struct Options {
        QUrl lookupUrl = Paths::defaults().iTunesLookupUrl; // the query is set by the service
        // Default: a client of its own with requestTimeout as idle timeout; one handed in
        // should have the same.
        std::shared_ptr<const HttpClient> http;
        std::shared_ptr<const RegionProvider> region; // default: the user's locale
    };

    AppStoreAPIService();
    explicit AppStoreAPIService(Options options);
    virtual ~AppStoreAPIService();
    AppStoreAPIService(const AppStoreAPIService&) = delete;
    AppStoreAPIService& operator=(const AppStoreAPIService&) = delete;

    // The record for the identifier, or none when the store does not know it or any step fails;
    // never throws. A cached record is answered without a request unless expectedVersion is
    // given and differs from it.
    virtual std::optional<AppStoreMetadata> fetchMetadata(const QString& bundleIdentifier,
                                                          const std::optional<QString>& expectedVersion = {});

    // fetchMetadata without a waiting thread: the handler receives the same answer exactly once,
    // on a worker thread (possibly inside this call).
    using MetadataHandler = std::function<void(std::optional<AppStoreMetadata> metadata)>;
    virtual void fetchMetadataAsync(const QString& bundleIdentifier,
                                    const std::optional<QString>& expectedVersion, MetadataHandler handler);

    // The lookup address for an identifier and region. Query values are percent-encoded, so
    // the identifier can neither add parameters nor break the query.
    static QUrl lookupUrl(const QUrl& base, const QString& bundleIdentifier, const QString& country);

private:
    enum class CacheAnswer { hit, miss, failed };
    // The cache's answer, or the address to ask when it has none.
    std::variant<std::optional<AppStoreMetadata>, QUrl>
    prepare(const QString& bundleIdentifier, const std::optional<QString>& expectedVersion);
    std::optional<AppStoreMetadata> receive(const QString& bundleIdentifier,
                                            const std::optional<QString>& expectedVersion,
                                            const HttpResponse& response);
    CacheAnswer consultCache(const QString& bundleIdentifier, const std::optional<QString>& expectedVersion,
                             std::optional<AppStoreMetadata>& cached) const;
    std::optional<AppStoreMetadata> fail(const QString& bundleIdentifier);
    // A request that ended in error: logged, and remembered as failed unless a quit ended it.
    std::optional<AppStoreMetadata> failTransfer(const QString& bundleIdentifier,
                                                 const std::exception_ptr& error);
    QString country() const;

    const Options m_options;

    mutable std::mutex m_mutex;
    QHash<QString, AppStoreMetadata> m_cache;
    QSet<QString> m_failedLookups;
};

} // namespace norvelle
