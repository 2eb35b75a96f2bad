#include "services/DiscoveryService.h"

#include "platform/Logger.h"
#include "platform/Paths.h"
#include "platform/file/SafeFile.h"
#include "platform/plist/PropertyList.h"
#include "platform/updater/InstallRecovery.h"
#include "services/ApplicationScanner.h"
#include "sources/ToolRunner.h"
#include "sources/brew/BrewService.h"
#include "sources/brew/CatalogueError.h"
#include "sources/mas/MASService.h"
#include "sources/sparkle/SparkleService.h"
#include "util/Error.h"
#include "util/TaskGroup.h"

#include <QCollator>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <vector>

namespace norvelle {

namespace {

// A few dozen bundles per child: enough to spread over the pool, few enough that handing them
// out costs nothing next to the reads and lookups.
constexpr qsizetype bundlesPerChild = 32;

QString seconds(const QElapsedTimer& timer)
{
    // QString::number ignores the locale, so the decimal point is always a point.
    return QString::number(double(timer.nsecsElapsed()) / 1e9, 'f', 2) + QStringLiteral("s");
}

// The dictionary of an existing Info.plist; none when its top level is no dictionary.
// Throws when the file cannot be read or is no property list.
std::optional<QVariantMap> readInfoPlist(const QString& path)
{
    QString failure;
    const std::optional<QByteArray> bytes =
        SafeFile::readRegularFile(path, PropertyList::maximumSize, &failure);
    if (!bytes)
        throw Error(QStringLiteral("Could not read ") + path + QStringLiteral(": ") + failure);
    const std::optional<QVariant> root = PropertyList::parse(*bytes);
    if (!root)
        throw Error(QStringLiteral("Could not parse ") + path + QStringLiteral(" as a property list"));
    if (root->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return root->toMap();
}

bool isUsableFeed(const QString& text, const QString& refusedDomain)
{
    return text.startsWith(QLatin1String("https://")) &&
           (refusedDomain.isEmpty() || !text.contains(refusedDomain));
}

std::optional<QUrl> parseFeed(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    return url;
}

} // namespace

DiscoveryService::DiscoveryService(std::shared_ptr<BrewService> brewService,
                                   std::shared_ptr<MASService> masService,
                                   std::shared_ptr<SparkleService> sparkleService,
                                   QSet<QString> filteredBundleIdentifiers, Options options)
    : m_brewService(std::move(brewService)), m_masService(std::move(masService)),
      m_sparkleService(std::move(sparkleService)),
      m_filteredBundleIdentifiers(std::move(filteredBundleIdentifiers)),
      m_applicationsFolder(options.applicationsFolder.isEmpty() ? Paths::defaults().applicationsFolder
                                                                : options.applicationsFolder),
      m_refusedFeedDomain(options.refusedFeedDomain.isEmpty() ? QString::fromLatin1(kRefusedFeedDomain)
                                                              : options.refusedFeedDomain),
      m_sortLocale(options.sortLocale.value_or(defaultSortLocale()))
{
}

DiscoveryService::~DiscoveryService() = default;

QSet<QString> DiscoveryService::defaultFilteredBundleIdentifiers(const QString& ownBundleIdentifier)
{
    return {QStringLiteral("com.apple.Safari"), ownBundleIdentifier,
            QStringLiteral("com.apple.appleseed.FeedbackAssistant")};
}

QLocale DiscoveryService::defaultSortLocale()
{
    const QLocale system = QLocale::system();
    if (system.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return system;
}

// A source that cannot be read costs what it knows, never the list: its tables keep what it
// told before (Homebrew's also what the installed casks' receipts say), and the bundles are
// listed as always. A quit is no failure of the source; it ends the discovery.
QList<SourceFailure> DiscoveryService::loadTables(const EnvironmentStatus& environment)
{
    std::optional<SourceFailure> brewFailure;
    std::optional<SourceFailure> masFailure;
    const auto load = [](std::optional<SourceFailure>& failure, const QString& source, const auto& run) {
        try {
            run();
        } catch (const CatalogueError& error) {
            // `brew` answered: what is missing is the catalogue's facts, not Homebrew's.
            failure = SourceFailure{SourceFailure::homebrewCatalogue(), error.description()};
        } catch (...) {
            if (ToolRunner::isEndedByQuitting(std::current_exception()))
                throw;
            failure = SourceFailure{source, describeException(std::current_exception())};
        }
        if (failure)
            Logger::warning(failure->source +
                            QStringLiteral(" could not be read, listing the applications without it: ") +
                            failure->description);
    };
    TaskGroup<void> group;
    if (environment.hasHomebrew)
        group.add([&] {
            load(brewFailure, SourceFailure::homebrew(), [this] { m_brewService->loadInstalledCasks(); });
        });
    else
        Logger::info(QStringLiteral("Skipping Homebrew cask loading - Homebrew not installed"));
    if (environment.hasMAS)
        group.add([&] {
            load(masFailure, SourceFailure::appStore(), [this] { m_masService->loadInstalledApps(); });
        });
    else
        Logger::info(QStringLiteral("Skipping MAS app loading - MAS CLI not installed"));
    group.waitAll();
    QList<SourceFailure> failures;
    for (const std::optional<SourceFailure>& failure : {brewFailure, masFailure}) {
        if (failure)
            failures.append(*failure);
    }
    return failures;
}

// The scan and every bundle's Info.plist, each read as it would be for discoverApplication.
struct DiscoveryService::ReadBundles {
    ApplicationScanner::Result scan;
    std::exception_ptr scanError;
    std::vector<std::optional<Bundle>> bundles; // by scan.bundlePaths
    std::vector<std::exception_ptr> errors;     // by scan.bundlePaths
};

DiscoveryService::ReadBundles DiscoveryService::readBundles(std::stop_token stop) const
{
    ReadBundles read;
    // An update killed or failed in the middle of its swap leaves the application set aside: it
    // is put back before the folder is looked at, or it would drop out of the list.
    InstallRecovery::restoreApplications(m_applicationsFolder);
    try {
        read.scan = ApplicationScanner::scan(m_applicationsFolder);
    } catch (...) {
        read.scanError = std::current_exception();
        return read;
    }
    const QStringList& paths = read.scan.bundlePaths;
    read.bundles.resize(size_t(paths.size()));
    read.errors.resize(size_t(paths.size()));
    // One part per core: the reads have until the catalogue's last byte, and more parts only
    // crowded the processor the catalogue's handshake needed.
    TaskGroup<void> group(ioPool(), stop);
    const qsizetype cores = std::max(1, QThread::idealThreadCount());
    const qsizetype perPart = std::max(bundlesPerChild, (paths.size() + cores - 1) / cores);
    for (qsizetype first = 0; first < paths.size(); first += perPart) {
        group.add([this, &read, &paths, first,
                   last = std::min(first + perPart, paths.size())](std::stop_token childStop) {
            for (qsizetype i = first; i < last && !childStop.stop_requested(); ++i) {
                try {
                    read.bundles[size_t(i)] = readBundle(paths.at(i));
                } catch (...) {
                    read.errors[size_t(i)] = std::current_exception();
                }
            }
        });
    }
    group.waitAll();
    return read;
}

QList<std::shared_ptr<Application>>
DiscoveryService::discoverApplications(const EnvironmentStatus& environment, QList<SourceFailure>* failures)
{
    QElapsedTimer total;
    total.start();
    // The catalogue's request goes out first: sent after the reads and the tools had started,
    // it waited tens of milliseconds for a processor, and every later step waits for its answer.
    if (environment.hasHomebrew)
        m_brewService->startCatalogueDownload();
    // The folder and the Info.plists are read while the adapters load their tables, which is
    // mostly waiting for `brew`, `mas` and the catalogue; only the lookups need the tables. What
    // the reads find is reported in the same place and order as if they ran after the loads.
    ReadBundles read;
    TaskGroup<void> reading;
    reading.add([this, &read](std::stop_token stop) { read = readBundles(stop); });
    const QList<SourceFailure> failed = loadTables(environment);
    Logger::info(QStringLiteral("Parallel data loading: ") + seconds(total));
    reading.waitAll();
    if (read.scanError)
        std::rethrow_exception(read.scanError);
    for (const QString& folder : read.scan.unreadableFolders)
        Logger::warning(QStringLiteral("Skipping a folder that cannot be listed: ") + folder);

    QElapsedTimer build;
    build.start();
    const bool hasHomebrew = environment.hasHomebrew;
    const bool hasMAS = environment.hasMAS;
    const QStringList& paths = read.scan.bundlePaths;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (const std::exception_ptr error = read.errors[size_t(i)]) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& failure) {
                // One broken bundle must not hide every other application.
                Logger::warning(QStringLiteral("Skipping the application at ") + paths.at(i) +
                                QStringLiteral(": ") + describeException(failure));
            }
        }
    }
    // One part per core: the records are quick to build and mostly wait for the adapters' locks,
    // so more parts only woke more threads to queue there (one per bundle woke the whole pool).
    using Built = QList<std::shared_ptr<Application>>;
    TaskGroup<Built> group;
    const qsizetype cores = std::max(1, QThread::idealThreadCount());
    const qsizetype perPart = std::max(bundlesPerChild, (paths.size() + cores - 1) / cores);
    for (qsizetype first = 0; first < paths.size(); first += perPart) {
        group.add([this, &read, &paths, first, last = std::min(first + perPart, paths.size()), hasHomebrew,
                   hasMAS] {
            Built part;
            for (qsizetype i = first; i < last; ++i) {
                if (!read.bundles[size_t(i)])
                    continue;
                try {
                    part.append(buildApplication(QUrl::fromLocalFile(paths.at(i)), *read.bundles[size_t(i)],
                                                 hasHomebrew, hasMAS));
                } catch (const std::exception& error) {
                    Logger::warning(QStringLiteral("Skipping the application at ") + paths.at(i) +
                                    QStringLiteral(": ") + describeException(error));
                }
            }
            return part;
        });
    }
    QList<std::shared_ptr<Application>> applications;
    applications.reserve(paths.size());
    for (const Built& part : group.waitAll()) {
        for (const std::shared_ptr<Application>& application : part) {
            if (application)
                applications.append(application);
        }
    }
    sortByName(applications, m_sortLocale);

    Logger::info(QStringLiteral("App discovery: ") + seconds(build));
    Logger::info(QStringLiteral("Total discovery: ") + seconds(total));
    if (failures)
        failures->append(failed);
    return applications;
}

std::shared_ptr<Application> DiscoveryService::discoverApplication(const QUrl& url, bool hasHomebrew,
                                                                   bool hasMAS)
{
    const std::optional<Bundle> bundle = readBundle(url.toLocalFile());
    return bundle ? buildApplication(url, *bundle, hasHomebrew, hasMAS) : nullptr;
}

std::optional<QString> DiscoveryService::versionOnDisk(const QUrl& url, const QString& bundleIdentifier) const
{
    try {
        const std::optional<Bundle> bundle = readBundle(url.toLocalFile());
        if (bundle && bundle->bundleIdentifier == bundleIdentifier)
            return bundle->version;
    } catch (const std::exception& error) {
        Logger::debug(QStringLiteral("Could not read the version of ") + url.toLocalFile() +
                      QStringLiteral(": ") + describeException(error));
    }
    return std::nullopt;
}

std::optional<DiscoveryService::Bundle> DiscoveryService::readBundle(const QString& path) const
{
    const QString plistPath = path + QStringLiteral("/Contents/Info.plist");
    if (!QFileInfo::exists(plistPath))
        return std::nullopt;
    const std::optional<QVariantMap> info = readInfoPlist(plistPath);
    if (!info)
        return std::nullopt;
    const std::optional<QString> bundleIdentifier =
        PropertyList::string(*info, QStringLiteral("CFBundleIdentifier"));
    if (!bundleIdentifier || m_filteredBundleIdentifiers.contains(*bundleIdentifier))
        return std::nullopt;
    return Bundle{displayName(path), *bundleIdentifier, installedVersion(*info),
                  feedURL(*info, m_refusedFeedDomain)};
}

std::shared_ptr<Application> DiscoveryService::buildApplication(const QUrl& url, const Bundle& bundle,
                                                                bool hasHomebrew, bool hasMAS) const
{
    const QString path = url.toLocalFile();
    // The App Store adapter answers a record exactly for the identifiers `mas list` named.
    std::optional<MAS> mas;
    if (hasMAS)
        mas = m_masService->masInfo(bundle.bundleIdentifier, bundle.version);
    const bool isAppStore = mas.has_value();

    bool hasHomebrewSource = false;
    std::optional<Cask> cask;
    if (hasHomebrew) {
        hasHomebrewSource =
            m_brewService->hasCask(path) || m_brewService->matchCaskByTrash(path, bundle.bundleIdentifier);
        if (hasHomebrewSource)
            cask = m_brewService->caskInfo(path);
        else
            cask = m_brewService->findAdoptableCask(bundle.name, path);
    }

    std::optional<SparkleInfo> sparkleInfo;
    if (bundle.feed)
        sparkleInfo = SparkleInfo{*bundle.feed, std::nullopt, std::nullopt, true};

    return Application::create(bundle.name, bundle.bundleIdentifier, url, bundle.version,
                               sourceList(isAppStore, hasHomebrewSource, sparkleInfo.has_value()),
                               std::nullopt, std::move(cask), std::move(mas), std::move(sparkleInfo));
}

QString DiscoveryService::installedVersion(const QVariantMap& info)
{
    const std::optional<QString> shortVersion =
        PropertyList::string(info, QStringLiteral("CFBundleShortVersionString"));
    const std::optional<QString> build = PropertyList::string(info, QStringLiteral("CFBundleVersion"));
    if (shortVersion) {
        if (build && !build->isEmpty() && *build != *shortVersion)
            return *shortVersion + u',' + *build;
        return *shortVersion;
    }
    if (build)
        return *build;
    return QStringLiteral("1.0");
}

std::optional<QUrl> DiscoveryService::feedURL(const QVariantMap& info, const QString& refusedDomain)
{
    // The feed used is the first one that passes every test, so a refused or plain-http entry
    // earlier in the list is never fetched.
    for (const char* key : kFeedKeys) {
        const std::optional<QString> value = PropertyList::string(info, QString::fromLatin1(key));
        if (!value || !isUsableFeed(*value, refusedDomain))
            continue;
        if (std::optional<QUrl> url = parseFeed(*value))
            return url;
    }
    return std::nullopt;
}

QList<Application::Source> DiscoveryService::sourceList(bool appStore, bool homebrew, bool sparkle)
{
    QList<Application::Source> sources;
    if (appStore)
        sources.append(Application::Source::appStore);
    if (homebrew)
        sources.append(Application::Source::homebrew);
    if (sparkle)
        sources.append(Application::Source::sparkle);
    if (sources.isEmpty())
        sources.append(Application::Source::other);
    return sources;
}

void DiscoveryService::sortByName(QList<std::shared_ptr<Application>>& applications, const QLocale& locale)
{
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setIgnorePunctuation(false);
    std::stable_sort(
        applications.begin(), applications.end(),
        [&collator](const std::shared_ptr<Application>& a, const std::shared_ptr<Application>& b) {
            return collator.compare(a->name(), b->name()) < 0;
        });
}

QString DiscoveryService::displayName(const QString& bundlePath)
{
    QString name = QFileInfo(QDir::cleanPath(bundlePath)).fileName();
    if (name.endsWith(QLatin1String(".app")))
        name.chop(4);
    return name;
}

} // namespace norvelle
