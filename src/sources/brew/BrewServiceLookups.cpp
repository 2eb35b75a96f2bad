// BrewService: the outdated list and the per-application lookups.
#include "sources/brew/BrewService.h"

#include "model/NorvelleError.h"
#include "sources/ToolRunner.h"
#include "sources/brew/CaskParser.h"
#include "util/Error.h"
#include "util/Json.h"
#include "platform/Logger.h"
#include "util/NumericCompare.h"

#include <QElapsedTimer>

namespace norvelle {

std::optional<Cask> BrewService::parseOutdatedCask(const QJsonObject& entry) const
{
    bool requiresSudo = false;
    if (const std::optional<QString> name = json::string(entry, u"name")) {
        std::lock_guard lock(m_mutex);
        const auto it = m_caskMetadata.constFind(*name);
        requiresSudo = it != m_caskMetadata.cend() && it->requiresSudo;
    }
    return CaskParser::parseOutdatedCask(entry, requiresSudo);
}

void BrewService::loadOutdatedCasks()
{
    QElapsedTimer timer;
    timer.start();
    if (!isHomebrewInstalled()) {
        Logger::info(QStringLiteral("Homebrew not installed - skipping outdated check"));
        std::lock_guard lock(m_mutex);
        m_outdatedCasks.clear();
        return;
    }

    try {
        const QByteArray output =
            runBrewCommand(brewPath(), {QStringLiteral("outdated"), QStringLiteral("--cask"),
                                        QStringLiteral("--greedy"), QStringLiteral("--json=v2")});
        const QJsonDocument document = json::parse(output);
        const std::optional<QList<QJsonObject>> entries =
            document.isObject() ? json::objectList(document.object(), u"casks") : std::nullopt;
        if (!entries) {
            Logger::warning(QStringLiteral("Failed to parse outdated casks JSON"));
            {
                std::lock_guard lock(m_mutex);
                m_outdatedCasks.clear();
            }
            throw NorvelleError::failedToParseBrewOutput();
        }

        QHash<QString, Cask> outdated;
        for (const QJsonObject& entry : *entries) {
            if (std::optional<Cask> cask = parseOutdatedCask(entry))
                outdated.insert(cask->caskName, std::move(*cask));
            else
                Logger::warning(QLatin1String("Failed to parse cask: ") + CaskParser::render(entry));
        }
        const qsizetype count = outdated.size();
        {
            std::lock_guard lock(m_mutex);
            m_outdatedCasks.swap(outdated);
        }
        Logger::info(QLatin1String("Found ") + QString::number(count) + QLatin1String(" outdated casks"));
        Logger::debug(QLatin1String("Brew outdated: ") +
                      QString::number(double(timer.elapsed()) / 1000.0, 'f', 2) + QLatin1String("s"));
    } catch (const std::exception& e) {
        // A listing that quitting ended has already been logged as such; it is no failure of brew.
        if (!ToolRunner::isEndedByQuitting(std::current_exception()))
            Logger::warning(QLatin1String("Failed to load outdated casks: ") + describeException(e));
        {
            std::lock_guard lock(m_mutex);
            m_outdatedCasks.clear();
        }
        throw;
    }
}

std::optional<QString> BrewService::tokenForPathLocked(const QString& path) const
{
    const auto exact = m_pathToCaskMap.constFind(path);
    if (exact != m_pathToCaskMap.cend())
        return exact.value();
    const auto folded = m_foldedPaths.constFind(path.toLower());
    if (folded == m_foldedPaths.cend())
        return std::nullopt;
    return m_pathToCaskMap.value(folded.value());
}

void BrewService::mapPathLocked(const QString& path, const QString& token)
{
    m_pathToCaskMap.insert(path, token);
    // Of several paths that differ only in case, the one first in the map's order answers.
    auto folded = m_foldedPaths.find(path.toLower());
    if (folded == m_foldedPaths.end())
        m_foldedPaths.insert(path.toLower(), path);
    else if (path < folded.value())
        folded.value() = path;
}

bool BrewService::hasCask(const QString& path) const
{
    std::lock_guard lock(m_mutex);
    return tokenForPathLocked(path).has_value();
}

std::optional<Cask> BrewService::caskInfo(const QString& path) const
{
    std::optional<QString> token;
    std::optional<Cask> cask;
    {
        std::lock_guard lock(m_mutex);
        token = tokenForPathLocked(path);
        if (token) {
            const auto it = m_caskMetadata.constFind(*token);
            if (it != m_caskMetadata.cend())
                cask = it.value();
        }
    }
    if (!token) {
        Logger::debug(QLatin1String("No cask mapping found for path: ") + path);
        return std::nullopt;
    }
    if (!cask) {
        // `brew list` named the cask, so Homebrew manages the application whatever the catalogue
        // said or failed to say: it is Homebrew's by its token, and nothing only the catalogue
        // knows (homepage, description, a password need) is claimed for it.
        Logger::warning(QLatin1String("No metadata found for cask: ") + *token);
        cask.emplace();
        cask->caskName = *token;
        cask->adopted = true;
    }
    return cask;
}

bool BrewService::matchCaskByTrash(const QString& path, const QString& bundleIdentifier)
{
    if (bundleIdentifier.isEmpty())
        return false;
    std::lock_guard lock(m_mutex);
    for (auto it = m_caskTrashStrings.cbegin(); it != m_caskTrashStrings.cend(); ++it) {
        for (const QString& trash : it.value()) {
            if (trash.contains(bundleIdentifier, Qt::CaseSensitive)) {
                mapPathLocked(path, it.key());
                return true;
            }
        }
    }
    return false;
}

std::optional<Update> BrewService::checkUpdate(const QString& path, const QString& currentVersion) const
{
    QString token;
    Cask outdated;
    std::optional<Cask> metadata;
    {
        std::lock_guard lock(m_mutex);
        const std::optional<QString> found = tokenForPathLocked(path);
        if (!found)
            return std::nullopt;
        const auto it = m_outdatedCasks.constFind(*found);
        if (it == m_outdatedCasks.cend())
            return std::nullopt;
        token = *found;
        outdated = it.value();
        const auto meta = m_caskMetadata.constFind(token);
        if (meta != m_caskMetadata.cend())
            metadata = meta.value();
    }
    if (numericCompare(outdated.latestVersion, currentVersion) != std::strong_ordering::greater)
        return std::nullopt;

    Cask merged;
    merged.caskName = outdated.caskName;
    merged.currentVersion = outdated.currentVersion;
    merged.latestVersion = outdated.latestVersion;
    merged.description = metadata && metadata->description ? metadata->description : outdated.description;
    merged.homepage = metadata && metadata->homepage ? metadata->homepage : outdated.homepage;
    merged.warnings = metadata ? metadata->warnings : QStringList();
    merged.adopted = true;
    merged.adoptable = false;
    merged.requiresSudo = metadata ? metadata->requiresSudo : outdated.requiresSudo;
    merged.artifacts = metadata ? metadata->artifacts : outdated.artifacts;
    merged.deprecated = false;
    merged.disabled = false;

    Update update;
    update.latestVersion = outdated.latestVersion;
    update.source = Update::Source::homebrew;
    update.status = Update::Status::available;
    update.cask = std::move(merged);

    Logger::info(QLatin1String("Update available for ") + token + QLatin1String(": ") + currentVersion +
                 QLatin1String(" -> ") + outdated.latestVersion);
    return update;
}

} // namespace norvelle
