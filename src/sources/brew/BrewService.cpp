#include "sources/brew/BrewService.h"

#include "model/NorvelleError.h"
#include "platform/Clock.h"
#include "platform/Logger.h"
#include "platform/http/HttpClient.h"
#include "sources/ToolRunner.h"
#include "sources/brew/AdoptionMatcher.h"
#include "sources/brew/CaskParser.h"
#include "sources/brew/CatalogueError.h"
#include "sources/brew/CatalogueMaps.h"
#include "sources/brew/CatalogueReader.h"
#include "sources/brew/CatalogueStream.h"
#include "util/AllocatorTuning.h"
#include "util/Error.h"
#include "util/Json.h"
#include "util/StrictText.h"
#include "util/Async.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <algorithm>
#include <chrono>
#include <condition_variable>

namespace norvelle {

namespace {

std::shared_ptr<HttpClient> defaultHttpClient()
{
    HttpClient::Options options;
    options.timeout = BrewService::catalogueTimeout;
    options.maxBodyBytes = BrewService::maxCatalogueBytes;
    return std::make_shared<HttpClient>(options);
}

BrewService::Options completed(BrewService::Options options)
{
    if (!options.http)
        options.http = defaultHttpClient();
    if (!options.clock)
        options.clock = std::make_shared<Clock>();
    if (!options.runner)
        options.runner = std::make_shared<const ToolRunner>(ToolRunner::Family::brew);
    return options;
}

QString sortedJoined(const QSet<QString>& set)
{
    QStringList list(set.cbegin(), set.cend());
    std::sort(list.begin(), list.end());
    return list.join(QLatin1String(", "));
}

bool isUsableCatalogueUrl(const QUrl& url)
{
    return url.isValid() && !url.isRelative() &&
           (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"));
}

} // namespace

// The catalogue download that runs while `brew list --cask` does.
struct BrewService::CatalogueDownload {
    QUrl url;
    QElapsedTimer timer;
    CatalogueStream stream; // read while the body arrives
    std::optional<HttpResponse> response;
    std::exception_ptr error;
    std::stop_source stop;

    std::mutex mutex;
    std::condition_variable changed;
    bool ended = false;

    void wait()
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return ended; });
    }
};

BrewService::BrewService() : BrewService(Options{}) {}

BrewService::BrewService(Options options) : m_options(completed(std::move(options))) {}

BrewService::~BrewService()
{
    if (m_earlyDownload)
        m_earlyDownload->stop.request_stop();
}

std::shared_ptr<BrewService::CatalogueDownload> BrewService::beginDownload(const QUrl& url,
                                                                           bool orHere) const
{
    auto download = std::make_shared<CatalogueDownload>();
    download->url = url;
    download->timer.start();
    auto run = [download, http = m_options.http] {
        try {
            download->response =
                http->get(download->url, download->stop.get_token(),
                          [&stream = download->stream](QByteArrayView piece) { stream.append(piece); });
        } catch (...) {
            download->error = std::current_exception();
        }
        {
            std::lock_guard lock(download->mutex);
            download->ended = true;
        }
        download->changed.notify_all();
    };
    Q_ASSERT(!inBackground()); // see TaskGroup::add
    // With the pool full it runs here, before the listing, as a full TaskGroup would.
    if (!ioPool().tryStart(run)) {
        if (!orHere)
            return nullptr;
        run();
    }
    return download;
}

void BrewService::startCatalogueDownload()
{
    const QUrl url = m_options.paths.caskCatalogueUrl;
    if (!isHomebrewInstalled() || !isUsableCatalogueUrl(url) || hasFreshCatalogue(m_options.clock->now()))
        return;
    std::lock_guard lock(m_earlyMutex);
    if (!m_earlyDownload)
        m_earlyDownload = beginDownload(url, false);
}

bool BrewService::isHomebrewInstalled() const
{
    return m_options.paths.hasBrew();
}

QString BrewService::brewPath() const
{
    return m_options.paths.brewExecutable();
}

QByteArray BrewService::runBrewCommand(const QString& executable, const QStringList& arguments)
{
    return m_options.runner->runCommand(executable, arguments);
}

void BrewService::runBrewCommandStreaming(const QString& executable, const QStringList& arguments,
                                          const LineHandler& handler)
{
    m_options.runner->runCommandStreaming(executable, arguments, handler);
}

double BrewService::progressForOutputLine(const QString& line)
{
    return ToolRunner::brewProgressForOutputLine(line);
}

std::optional<Cask> BrewService::parseCask(const QJsonObject& object, bool installed)
{
    return CaskParser::parseCask(object, installed);
}

bool BrewService::determineRequiresSudo(const QJsonObject& object)
{
    return CaskParser::determineRequiresSudo(object);
}

QStringList BrewService::extractAppArtifacts(const QJsonObject& object)
{
    return CaskParser::extractAppArtifacts(object);
}

BrewService::ReceiptContents BrewService::readInstallReceipt(const QString& token) const
{
    return InstallReceiptReader(m_options.paths.caskroomFolders, m_options.paths.applicationsFolder)
        .read(token);
}

void BrewService::loadInstalledCasks()
{
    // A catalogue that has to be downloaded is on its way while `brew list --cask` runs (sent
    // earlier by startCatalogueDownload, or now); it is dropped unread when the listing fails or
    // names no cask. It is waited for on every way out, so it never outlives the load.
    std::shared_ptr<CatalogueDownload> download;
    {
        std::lock_guard lock(m_earlyMutex);
        download = std::exchange(m_earlyDownload, nullptr);
    }
    struct DownloadEnd {
        std::shared_ptr<CatalogueDownload>& download;
        ~DownloadEnd()
        {
            if (download)
                download->wait();
        }
    } const downloadEnd{download};
    const auto dropDownload = [&download] {
        if (download)
            download->stop.request_stop();
    };

    if (!isHomebrewInstalled()) {
        dropDownload();
        Logger::info(QStringLiteral("Homebrew not installed - skipping cask loading"));
        std::lock_guard lock(m_mutex);
        m_pathToCaskMap.clear();
        m_foldedPaths.clear();
        m_caskMetadata.clear();
        m_caskTrashStrings.clear();
        m_listingInPlace = ++m_listingsAsked;
        m_listedTokens.clear();
        return;
    }

    const QString path = brewPath();
    Logger::debug(QLatin1String("Using brew path: ") + path);

    const QUrl catalogueUrl = m_options.paths.caskCatalogueUrl;
    const bool prefetch = isUsableCatalogueUrl(catalogueUrl) && !hasFreshCatalogue(m_options.clock->now());
    if (!prefetch)
        dropDownload(); // a load since the request went out has stored a catalogue
    else if (!download)
        download = beginDownload(catalogueUrl, true);

    quint64 asked = 0;
    {
        std::lock_guard lock(m_mutex);
        asked = ++m_listingsAsked;
    }
    QByteArray output;
    try {
        output = runBrewCommand(path, {QStringLiteral("list"), QStringLiteral("--cask")});
    } catch (const std::exception& e) {
        // A listing that quitting ended has already been logged as such; it is no failure of brew.
        if (!ToolRunner::isEndedByQuitting(std::current_exception()))
            Logger::error(QLatin1String("Error executing brew list --cask: ") + describeException(e));
        dropDownload();
        throw;
    }

    // Decoded line by line: one bad byte costs its line, not every installed cask. The tokens are
    // checked where they become `brew` arguments.
    qsizetype invalidLines = 0;
    QStringList tokens = decodeUtf8Lines(output, &invalidLines);
    if (invalidLines > 0)
        Logger::warning(QStringLiteral("Skipped %1 lines of brew list --cask output that are not valid UTF-8")
                            .arg(invalidLines));
    Logger::debug(QLatin1String("Found ") + QString::number(tokens.size()) +
                  QLatin1String(" installed casks"));

    // The receipts are read before the lock is taken; the maps then change in one step.
    const InstallReceiptReader reader(m_options.paths.caskroomFolders, m_options.paths.applicationsFolder);
    QList<ReceiptContents> receipts;
    receipts.reserve(tokens.size());
    for (const QString& token : tokens)
        receipts.append(reader.read(token));

    bool superseded = false;
    {
        std::lock_guard lock(m_mutex);
        superseded = asked < m_listingInPlace;
        if (superseded) {
            // The catalogue below is marked for the casks as the newer listing found them.
            tokens = m_listedTokens;
            receipts.clear();
        } else {
            m_listingInPlace = asked;
            m_listedTokens = tokens;
            m_pathToCaskMap.clear();
            m_foldedPaths.clear();
            m_caskMetadata.clear();
            m_caskTrashStrings.clear();
        }
        for (qsizetype i = 0; i < receipts.size(); ++i) {
            const ReceiptContents& receipt = receipts.at(i);
            if (!receipt.applicationPaths.isEmpty()) {
                for (const QString& applicationPath : receipt.applicationPaths)
                    mapPathLocked(applicationPath, tokens.at(i));
                continue;
            }
            QSet<QString> trash;
            for (const QString& item : receipt.trash) {
                if (InstallReceiptReader::isUsableTrashString(item))
                    trash.insert(item);
            }
            if (!trash.isEmpty())
                m_caskTrashStrings.insert(tokens.at(i), trash);
        }
    }

    if (superseded)
        Logger::debug(QStringLiteral("A newer brew list --cask ended first; its casks stay mapped"));

    if (tokens.isEmpty()) {
        dropDownload();
        return;
    }
    const QSet<QString> installed(tokens.cbegin(), tokens.cend());
    if (prefetch)
        download->wait();
    // `brew` has answered: from here on a failure is the catalogue's alone, and says so.
    std::optional<QString> catalogueFailure;
    try {
        catalogueFailure = fetchCatalogue(installed, prefetch ? download.get() : nullptr);
    } catch (...) {
        if (ToolRunner::isEndedByQuitting(std::current_exception()))
            throw;
        throw CatalogueError(describeException(std::current_exception()));
    }

    QSet<QString> mapped;
    QSet<QString> failed = installed;
    {
        std::lock_guard lock(m_mutex);
        for (const QString& token : std::as_const(m_pathToCaskMap))
            mapped.insert(token);
        for (auto it = m_caskTrashStrings.cbegin(); it != m_caskTrashStrings.cend(); ++it)
            failed.remove(it.key());
    }
    failed.subtract(mapped);
    if (!mapped.isEmpty())
        Logger::debug(QLatin1String("Successfully mapped casks: ") + sortedJoined(mapped));
    if (!failed.isEmpty())
        Logger::debug(QLatin1String("Failed to map casks: ") + sortedJoined(failed));
    if (catalogueFailure)
        throw CatalogueError(*catalogueFailure);
}

void BrewService::fetchAllCasksFromAPI(const QSet<QString>& installedTokens)
{
    fetchCatalogue(installedTokens, nullptr);
}

bool BrewService::hasFreshCatalogue(const QDateTime& now) const
{
    std::lock_guard lock(m_mutex);
    return m_cacheTimestamp && double(m_cacheTimestamp->msecsTo(now)) / 1000.0 < cacheValidityDuration;
}

std::optional<QString> BrewService::fetchCatalogue(const QSet<QString>& installedTokens,
                                                   CatalogueDownload* download)
{
    const QUrl url = m_options.paths.caskCatalogueUrl;
    if (!isUsableCatalogueUrl(url)) {
        Logger::warning(QStringLiteral("Invalid Homebrew API URL"));
        return std::nullopt;
    }

    // The injected clock is asked before the lock is taken, never under it.
    if (!download && hasFreshCatalogue(m_options.clock->now())) {
        Logger::info(QStringLiteral("Using cached Homebrew API data"));
        reuseParsedCatalogue(installedTokens);
        return std::nullopt;
    }

    QElapsedTimer ownTimer;
    std::optional<CatalogueStream> ownStream;
    std::optional<QMap<QString, Cask>> casks;
    try {
        HttpResponse response;
        // Said only once the listing has named casks, also when the request went out earlier.
        Logger::info(QStringLiteral("Fetching fresh Homebrew API data"));
        if (download) {
            if (download->error)
                std::rethrow_exception(download->error);
            response = std::move(*download->response);
        } else {
            ownTimer.start();
            CatalogueStream& stream = ownStream.emplace();
            response =
                m_options.http->get(url, {}, [&stream](QByteArrayView piece) { stream.append(piece); });
        }
        if (response.statusCode != 200) {
            Logger::warning(QStringLiteral("Invalid response from Homebrew API"));
            rebuildFromStaleCatalogue(installedTokens);
            return QStringLiteral("The server answered with status %1").arg(response.statusCode);
        }
        // Mostly read while it arrived; what the stream could not read goes to the reader whole.
        casks = (download ? download->stream : *ownStream).finish(response.body);
        if (!casks)
            casks = CatalogueReader::read(std::move(response.body));
    } catch (...) {
        // A failed download must not leave the installed casks without their facts.
        rebuildFromStaleCatalogue(installedTokens);
        throw;
    }
    // An answer without a single cask is no catalogue, whatever its status said: taken as read,
    // it would strip every installed cask of its facts and be kept as fresh.
    if (!casks || casks->isEmpty()) {
        Logger::warning(QStringLiteral("Failed to parse JSON from Homebrew API"));
        rebuildFromStaleCatalogue(installedTokens);
        return QStringLiteral("The answer is not a cask catalogue");
    }
    const QDateTime storedAt = m_options.clock->now();
    {
        std::lock_guard lock(m_mutex);
        m_cacheTimestamp = storedAt;
    }
    const QElapsedTimer& timer = download ? download->timer : ownTimer;
    Logger::info(QLatin1String("Brew API fetch: ") +
                 QString::number(double(timer.elapsed()) / 1000.0, 'f', 2) + QLatin1String("s"));
    installCatalogueMaps(CatalogueMaps::fromParsed(std::move(*casks), installedTokens), installedTokens);
    // The download, its parse and the replaced maps are gone by now; what they held would
    // otherwise stay with this pool thread's arena.
    allocator::releaseFreed();
    return std::nullopt;
}

void BrewService::reuseParsedCatalogue(const QSet<QString>& installedTokens)
{
    QMap<QString, Cask> casks;
    std::shared_ptr<const AdoptionMatcher> matcher;
    QSet<QString> marked;
    {
        std::lock_guard lock(m_mutex);
        if (!m_adoptionMatcher)
            return;
        if (installedTokens == m_mapsInstalledTokens) {
            // The same catalogue and the same casks: only the installed facts go back in.
            for (auto it = m_installedCatalogueCasks.cbegin(); it != m_installedCatalogueCasks.cend(); ++it)
                m_caskMetadata.insert(it.key(), it.value());
            return;
        }
        casks = m_allAvailableCasks;
        matcher = m_adoptionMatcher;
        marked = m_mapsInstalledTokens;
    }
    installCatalogueMaps(
        CatalogueMaps::fromParsed(std::move(casks), installedTokens, std::move(matcher), marked),
        installedTokens);
}

void BrewService::rebuildFromStaleCatalogue(const QSet<QString>& installedTokens)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_adoptionMatcher)
            return;
    }
    Logger::info(QStringLiteral("Using stale Homebrew API data"));
    reuseParsedCatalogue(installedTokens);
}

void BrewService::installCatalogueMaps(CatalogueMaps&& maps, const QSet<QString>& installedTokens)
{
    // The replaced maps are released after the lock, not under it.
    {
        std::lock_guard lock(m_mutex);
        std::swap(m_allAvailableCasks, maps.allCasks);
        std::swap(m_adoptionMatcher, maps.matcher);
        for (auto it = maps.installedCasks.cbegin(); it != maps.installedCasks.cend(); ++it)
            m_caskMetadata.insert(it.key(), it.value());
        std::swap(m_installedCatalogueCasks, maps.installedCasks);
        m_mapsInstalledTokens = installedTokens;
    }
}

void BrewService::clearCatalogueCache()
{
    std::lock_guard lock(m_mutex);
    m_cacheTimestamp.reset();
}

} // namespace norvelle
