#include "sources/mas/MASService.h"

#include "model/NorvelleError.h"
#include "platform/Logger.h"
#include "platform/plist/PropertyList.h"
#include "sources/ToolRunError.h"
#include "sources/ToolRunner.h"
#include "sources/mas/AppStoreAPIService.h"
#include "util/NumericCompare.h"

#include <QElapsedTimer>
#include <QFileInfo>

namespace norvelle {

namespace {

std::shared_ptr<const ToolRunner> runnerOrDefault(std::shared_ptr<const ToolRunner> runner)
{
    return runner ? std::move(runner) : std::make_shared<ToolRunner>(ToolRunner::Family::mas);
}

MASService::Options completed(MASService::Options options)
{
    options.runner = runnerOrDefault(std::move(options.runner));
    return options;
}

bool saysNoInstalledApps(const ToolRunner::Output& answer)
{
    return ToolRunner::answersNoInstalledApps(answer.standardOutput) ||
           ToolRunner::answersNoInstalledApps(answer.standardError);
}

// Quotes what the tool said instead, its answer's first line before its standard error's.
ToolRunError answeredWithoutListing(const ToolRunner::Output& answer)
{
    QString said = ToolRunner::firstLine(answer.standardOutput);
    if (said.isEmpty())
        said = ToolRunner::firstLine(answer.standardError);
    return ToolRunError(NorvelleError::Case::masCommandFailed, {},
                        QStringLiteral("mas list answered without a listing") +
                            (said.isEmpty() ? QString() : QStringLiteral(": ") + said));
}

void logNoInstalledApps()
{
    Logger::info(QStringLiteral("No MAS apps found (this is normal if no App Store apps are installed)"));
}

QStringList splitOutput(const QByteArray& output, const QString& command)
{
    qsizetype invalid = 0;
    QStringList lines = MASOutputParser::splitLines(output, &invalid);
    if (invalid > 0)
        Logger::warning(QStringLiteral("Skipped %1 lines of %2 output that are not valid UTF-8")
                            .arg(invalid)
                            .arg(command));
    return lines;
}

} // namespace

MASService::MASService(std::shared_ptr<AppStoreAPIService> appStoreAPI)
    : MASService(std::move(appStoreAPI), Options{})
{
}

MASService::MASService(std::shared_ptr<AppStoreAPIService> appStoreAPI, Options options)
    : m_appStoreAPI(std::move(appStoreAPI)), m_options(completed(std::move(options)))
{
}

MASService::~MASService() = default;

void MASService::loadInstalledApps()
{
    const std::optional<QString> masPath = findMASPath();
    if (!masPath) {
        Logger::info(QStringLiteral("MAS CLI not installed - skipping MAS app loading"));
        forgetInstalledApps();
        return;
    }
    Logger::debug(QStringLiteral("Using MAS path: ") + *masPath);

    ToolRunner::Output answer;
    try {
        answer = m_options.runner->runCaptured(*masPath, {QStringLiteral("list")});
    } catch (const ToolRunError& e) {
        if (e.text() == ToolRunner::noInstalledApps) {
            logNoInstalledApps();
            forgetInstalledApps();
            return;
        }
        // Any other failed run (not started, crashed, hung, an error exit) said nothing about the
        // installed apps: the last listing stays, so they keep their source until a run that
        // answers, and the failure goes on to be told. Quitting is no failure of the tool.
        if (e.text() == ToolRunner::endedByQuitting)
            return;
        failListing(e);
    } catch (const std::exception& e) {
        Logger::error(QStringLiteral("Error executing mas list: ") + describeException(e));
        throw;
    }

    const QStringList lines = splitOutput(answer.standardOutput, QStringLiteral("mas list"));
    if (std::none_of(lines.cbegin(), lines.cend(), &MASOutputParser::isListLine)) {
        // A warning or a line of another shape is no listing: taken as one, it would take every
        // store application's updates away. Only the tool's own word, or silence, says none.
        if (saysNoInstalledApps(answer)) {
            logNoInstalledApps();
            forgetInstalledApps();
            return;
        }
        if (!answer.standardOutput.trimmed().isEmpty() || !answer.standardError.trimmed().isEmpty())
            failListing(answeredWithoutListing(answer));
    }

    // Bundles are read before the lock is taken; the listing is then swapped in one step.
    QHash<QString, InstalledApp> apps;
    for (const QString& line : lines) {
        if (std::optional<InstalledApp> app = parseListLine(line))
            apps.insert(app->bundleIdentifier, std::move(*app));
    }
    const qsizetype count = apps.size();
    {
        std::lock_guard lock(m_mutex);
        m_installedApps = std::move(apps);
    }
    Logger::info(QStringLiteral("Found %1 installed App Store apps").arg(count));
}

void MASService::forgetInstalledApps()
{
    std::lock_guard lock(m_mutex);
    m_installedApps.clear();
}

void MASService::failListing(const ToolRunError& error)
{
    const ToolRunError described = error.describedByReason();
    Logger::error(QStringLiteral("Error executing mas list: ") + described.description());
    throw described;
}

void MASService::loadOutdatedApps()
{
    QElapsedTimer elapsed;
    elapsed.start();

    const std::optional<QString> masPath = findMASPath();
    if (!masPath) {
        Logger::info(QStringLiteral("MAS CLI not installed - skipping outdated check"));
        std::lock_guard lock(m_mutex);
        m_outdatedApps.clear();
        return;
    }

    QByteArray output;
    try {
        output = m_options.runner->runCommand(*masPath, {QStringLiteral("outdated")});
    } catch (const ToolRunError& e) {
        // The check tells this failure as the App Store's, in words that say what happened.
        throw e.describedByReason();
    }

    QHash<QString, MASOutdated> outdated;
    for (const QString& line : splitOutput(output, QStringLiteral("mas outdated"))) {
        if (std::optional<MASOutdated> entry = MASOutputParser::parseOutdatedLine(line))
            outdated.insert(entry->appID, std::move(*entry));
    }
    const qsizetype count = outdated.size();
    {
        std::lock_guard lock(m_mutex);
        m_outdatedApps = std::move(outdated);
    }
    Logger::info(QStringLiteral("Found %1 outdated App Store apps").arg(count));
    Logger::debug(QStringLiteral("MAS outdated: ") +
                  QString::number(double(elapsed.elapsed()) / 1000.0, 'f', 2) + QStringLiteral("s"));
}

std::optional<MAS> MASService::masInfo(const QString& bundleIdentifier, const QString& currentVersion) const
{
    std::lock_guard lock(m_mutex);
    const auto installed = m_installedApps.constFind(bundleIdentifier);
    if (installed == m_installedApps.cend())
        return std::nullopt;
    const auto outdated = m_outdatedApps.constFind(installed->appID);
    const QString storeVersion = outdated != m_outdatedApps.cend() ? outdated->storeVersion : currentVersion;
    return MAS{installed->appID, storeVersion, currentVersion, bundleIdentifier, std::nullopt};
}

std::optional<std::pair<MASService::InstalledApp, MASOutdated>>
MASService::outdatedEntry(const QString& bundleIdentifier) const
{
    InstalledApp installed;
    MASOutdated outdated;
    {
        std::lock_guard lock(m_mutex);
        const auto app = m_installedApps.constFind(bundleIdentifier);
        if (app == m_installedApps.cend())
            return std::nullopt;
        const auto entry = m_outdatedApps.constFind(app->appID);
        if (entry == m_outdatedApps.cend())
            return std::nullopt;
        installed = *app;
        outdated = *entry;
    }
    if (numericCompare(outdated.storeVersion, outdated.installedVersion) <= 0)
        return std::nullopt;
    return std::pair(std::move(installed), std::move(outdated));
}

std::optional<Update> MASService::checkForUpdate(const QString& bundleIdentifier)
{
    const auto entry = outdatedEntry(bundleIdentifier);
    if (!entry)
        return std::nullopt;
    // The tool decides that there is an update and which version it is; the lookup only
    // contributes notes, date and size, even when it reports another version.
    std::optional<AppStoreMetadata> metadata;
    if (m_appStoreAPI)
        metadata = m_appStoreAPI->fetchMetadata(bundleIdentifier, entry->second.storeVersion);
    return makeUpdate(entry->first, entry->second, metadata);
}

void MASService::checkForUpdateAsync(const QString& bundleIdentifier, UpdateHandler handler)
{
    const auto entry = outdatedEntry(bundleIdentifier);
    if (!entry) {
        handler(std::nullopt);
        return;
    }
    if (!m_appStoreAPI) {
        handler(makeUpdate(entry->first, entry->second, std::nullopt));
        return;
    }
    m_appStoreAPI->fetchMetadataAsync(
        bundleIdentifier, entry->second.storeVersion,
        [entry = *entry, handler = std::move(handler)](std::optional<AppStoreMetadata> metadata) {
            handler(makeUpdate(entry.first, entry.second, metadata));
        });
}

Update MASService::makeUpdate(const InstalledApp& installed, const MASOutdated& outdated,
                              const std::optional<AppStoreMetadata>& metadata)
{
    Update update;
    update.latestVersion = outdated.storeVersion;
    update.source = Update::Source::appStore;
    update.status = Update::Status::available;
    std::optional<qint64> fileSizeBytes;
    if (metadata) {
        if (metadata->version == outdated.storeVersion)
            Logger::debug(QStringLiteral("Fetched metadata for ") + installed.appName + QStringLiteral(" v") +
                          metadata->version + QStringLiteral(" from iTunes API"));
        else
            Logger::warning(QStringLiteral("Version mismatch for ") + installed.appName +
                            QStringLiteral(": mas shows v") + outdated.storeVersion +
                            QStringLiteral(" but iTunes API shows v") + metadata->version +
                            QStringLiteral(". Using iTunes API data."));
        update.releaseNotes = metadata->releaseNotes;
        update.releaseDate = metadata->releaseDate;
        fileSizeBytes = metadata->fileSizeBytes;
    }
    update.mas = MAS{installed.appID, outdated.storeVersion, outdated.installedVersion,
                     installed.bundleIdentifier, fileSizeBytes};
    return update;
}

void MASService::upgrade(const QString& appID, const LineHandler& onLine)
{
    Logger::info(QStringLiteral("Updating App Store app: ") + appID);
    const std::optional<QString> masPath = findMASPath();
    if (!masPath)
        throw NorvelleError::masCommandFailed();
    m_options.runner->runCommandStreaming(*masPath, {QStringLiteral("upgrade"), appID}, onLine);
    Logger::info(QStringLiteral("Successfully updated app: ") + appID);
}

std::optional<QString> MASService::findMASPath() const
{
    return m_options.paths.masExecutable();
}

std::optional<QString> MASService::bundleIdentifierForApp(const QString& appName) const
{
    // The bundle must sit directly in the Applications folder: a name holding a path
    // separator would reach into subfolders, or out of the folder with "..".
    if (appName.contains(u'/') || appName.contains(QChar(u'\0')))
        return std::nullopt;
    const QString bundlePath = m_options.paths.applicationsFolder + u'/' + appName + QStringLiteral(".app");
    if (!QFileInfo::exists(bundlePath))
        return std::nullopt;
    const std::optional<QVariantMap> info =
        PropertyList::readDictionaryFile(bundlePath + QStringLiteral("/Contents/Info.plist"));
    if (!info)
        return std::nullopt;
    return PropertyList::string(*info, QStringLiteral("CFBundleIdentifier"));
}

std::optional<MASService::InstalledApp> MASService::parseListLine(const QString& line) const
{
    const std::optional<MASListEntry> entry = MASOutputParser::parseListLine(line);
    if (!entry)
        return std::nullopt;
    std::optional<QString> bundleIdentifier = bundleIdentifierForApp(entry->appName);
    if (!bundleIdentifier)
        return std::nullopt;
    return InstalledApp{entry->appID, entry->appName, std::move(*bundleIdentifier)};
}

} // namespace norvelle
