// The release-notes half of SparkleService: a found update turned into an Update with its notes
// as Markdown, and the fetches of feeds and notes started ahead of the checks.

#include "sources/sparkle/SparkleService.h"

#include "model/Application.h"
#include "platform/Logger.h"
#include "platform/http/HttpClient.h"
#include "platform/http/HttpPrefetch.h"
#include "platform/updater/UpdaterBundle.h"
#include "platform/updater/UpdaterFactory.h"
#include "sources/ToolRunner.h"
#include "sources/sparkle/ReleaseNotesConverter.h"
#include "util/Async.h"
#include "util/StrictText.h"

namespace norvelle {

namespace {

std::optional<QUrl> parseUrl(const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

// Converting release notes is work for a worker, never for the main thread: on the network
// pool, whose tasks only compute; where the answer is already there, right away.
void offMainThread(std::function<void()> work)
{
    if (isMainThread())
        networkPool().start(std::move(work));
    else
        work();
}

} // namespace

void SparkleService::completeCheck(const std::shared_ptr<Application>& application,
                                   const SparkleUpdate& found, const CheckHandler& handler)
{
    const Application::Snapshot snapshot = application->snapshot();
    {
        std::lock_guard lock(m_mutex);
        m_sparkleUpdates.insert(snapshot.bundleIdentifier, found);
    }

    const std::optional<QUrl> feedURL = parseUrl(found.feedURL);
    if (!feedURL) {
        Logger::warning(QStringLiteral("Sparkle update for ") + snapshot.name +
                        QStringLiteral(" ignored: its feed URL is not valid: ") + found.feedURL);
        handler(std::nullopt, nullptr);
        return;
    }
    SparkleInfo info;
    info.feedURL = *feedURL;
    if (found.releaseNotesURL)
        info.releaseNotesURL = parseUrl(*found.releaseNotesURL);
    info.supportsAutomaticUpdates = true;

    Update update;
    update.latestVersion = found.availableVersion;
    update.releaseDate = found.publishedDate;
    update.source = Update::Source::sparkle;
    update.status = Update::Status::available;
    update.sparkleInfo = info;

    if (!found.releaseNotes && !found.releaseNotesURL) {
        handler(std::move(update), nullptr);
        return;
    }
    offMainThread([this, update = std::move(update), found, handler]() mutable {
        // Inline notes that convert to something win; the page is fetched only without them.
        if (found.releaseNotes)
            update.releaseNotes = ReleaseNotesConverter::convertHTMLToMarkdown(*found.releaseNotes);
        if (update.releaseNotes || !found.releaseNotesURL) {
            handler(std::move(update), nullptr);
            return;
        }
        fetchReleaseNotes(*found.releaseNotesURL, [update, handler](std::optional<QString> notes) mutable {
            update.releaseNotes = std::move(notes);
            handler(std::move(update), nullptr);
        });
    });
}

void SparkleService::fetchReleaseNotes(const QString& address,
                                       std::function<void(std::optional<QString>)> done) const
{
    const std::optional<QUrl> url = parseUrl(address);
    if (!url) {
        done(std::nullopt);
        return;
    }
    if (url->scheme() != QLatin1String("http") && url->scheme() != QLatin1String("https")) {
        Logger::warning(QStringLiteral("Release notes not fetched, the URL is not http or https: ") +
                        address);
        done(std::nullopt);
        return;
    }
    // Whatever body arrives is used, whatever the status.
    m_releaseNotesClient->getAsync(
        *url, [done = std::move(done), address](HttpResponse response, std::exception_ptr error) {
            // A quit aborts the fetches still in flight; that says nothing about the page.
            if (error && ToolRunner::isEndedByQuitting(error)) {
                Logger::info(QStringLiteral("Fetching release notes from ") + address +
                             QStringLiteral(" ended by quitting"));
                done(std::nullopt);
                return;
            }
            if (error) {
                Logger::error(QStringLiteral("Failed to fetch release notes from URL: ") +
                              describeException(error));
                done(std::nullopt);
                return;
            }
            offMainThread([done, body = std::move(response.body)] {
                const std::optional<QString> text = decodeUtf8Strict(body);
                done(text ? ReleaseNotesConverter::convertHTMLToMarkdown(*text) : std::nullopt);
            });
        });
}

std::shared_ptr<HttpPrefetchBatch>
SparkleService::prefetchChecks(const QList<std::shared_ptr<Application>>& applications)
{
    const std::shared_ptr<const HttpClient> feeds =
        m_updaterFactory ? m_updaterFactory->feedClient() : nullptr;
    if (!feeds)
        return nullptr;
    auto batch = std::make_shared<HttpPrefetchBatch>();
    const std::weak_ptr<HttpPrefetchBatch> weakBatch = batch;
    for (const std::shared_ptr<Application>& application : applications) {
        const Application::Snapshot snapshot = application->snapshot();
        if (!snapshot.source.contains(Application::Source::sparkle) || !snapshot.sparkleInfo ||
            snapshot.sparkleInfo->feedURL.isEmpty() || !snapshot.path.isLocalFile())
            continue;
        // The address exactly as the updater will ask for it.
        const QUrl feedUrl(snapshot.sparkleInfo->feedURL.toString(QUrl::FullyEncoded).trimmed(),
                           QUrl::StrictMode);
        // The batch lives only while its check does, and the check keeps this service.
        feeds->prefetch(
            feedUrl, *batch,
            [this, weakBatch, feedUrl, bundlePath = snapshot.path.toLocalFile()](const HttpResponse& feed) {
                if (const std::shared_ptr<HttpPrefetchBatch> owner = weakBatch.lock())
                    prefetchReleaseNotes(bundlePath, feedUrl, feed, *owner);
            });
    }
    return batch;
}

void SparkleService::prefetchReleaseNotes(const QString& bundlePath, const QUrl& feedUrl,
                                          const HttpResponse& feed, HttpPrefetchBatch& batch) const
{
    if (!m_releaseNotesClient || feed.statusCode < 200 || feed.statusCode >= 300)
        return;
    const std::optional<UpdaterBundle> bundle = UpdaterBundle::load(bundlePath);
    if (!bundle)
        return;
    const std::optional<AppcastItem> item = m_updaterFactory->offeredItem(*bundle, feedUrl, feed);
    if (!item || item->releaseNotesUrl.isEmpty())
        return;
    if (item->itemDescription && ReleaseNotesConverter::convertHTMLToMarkdown(*item->itemDescription))
        return;
    if (const std::optional<QUrl> notes = parseUrl(item->releaseNotesUrl.toString(QUrl::FullyEncoded)))
        m_releaseNotesClient->prefetch(*notes, batch);
}

} // namespace norvelle
