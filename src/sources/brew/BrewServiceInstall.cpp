// BrewService: upgrading, adoption and custom casks.
#include "sources/brew/BrewService.h"

#include "model/NorvelleError.h"
#include "sources/brew/AdoptionMatcher.h"
#include "sources/brew/CaskToken.h"
#include "util/Error.h"
#include "util/Json.h"
#include "platform/Logger.h"

namespace norvelle {

namespace {

// A custom cask turned away: the reason goes to the log and, as the error's description, to
// whoever asked, so a refusal never reads as a parse failure.
[[noreturn]] void refuse(const QString& reason)
{
    Logger::error(reason);
    throw NorvelleError::failedToParseBrewOutput(reason);
}

// Brew's own words for a failed run: its "Error:" lines without that prefix, else the last line
// it wrote to standard error; empty when it wrote nothing readable.
QString brewReason(const std::exception& e)
{
    const auto* failure = dynamic_cast<const NorvelleError*>(&e);
    if (!failure)
        return {};
    QStringList lines;
    QStringList errors;
    for (const QString& line : failure->toolOutput().split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString text = line.trimmed();
        if (text.startsWith(QLatin1String("Error:")))
            errors.append(text.mid(6).trimmed());
        else if (!text.isEmpty())
            lines.append(text);
    }
    if (!errors.isEmpty())
        return errors.join(QLatin1Char(' '));
    return lines.isEmpty() ? QString() : lines.last();
}

} // namespace

QStringList BrewService::upgradeCask(const QString& token, const LineHandler& progress)
{
    if (!isHomebrewInstalled())
        throw NorvelleError::brewNotInstalled();
    CaskToken::require(token);
    QStringList outputLines;
    runBrewCommandStreaming(
        brewPath(), {QStringLiteral("upgrade"), QStringLiteral("--cask"), token, QStringLiteral("--verbose")},
        [&outputLines, &progress](const QString& line, double fraction) {
            outputLines.append(line);
            if (progress)
                progress(line, fraction);
        });
    clearCatalogueCache();
    Logger::info(QLatin1String("Updated cask: ") + token);
    return outputLines;
}

std::optional<Cask> BrewService::findAdoptableCask(const QString& name, const QString& path) const
{
    std::optional<AdoptionMatcher::Match> match;
    {
        std::lock_guard lock(m_mutex);
        if (m_pathToCaskMap.contains(path) || !m_adoptionMatcher)
            return std::nullopt;
        match = m_adoptionMatcher->find(
            name, [this](const QString& token) { return m_caskMetadata.contains(token); });
    }
    if (!match)
        return std::nullopt;
    Logger::info(QLatin1String("Found adoptable cask '") + match->cask.caskName +
                 QLatin1String("' for app '") + name + QLatin1String("' via ") +
                 (match->isExactArtifact ? QLatin1String("exact artifact") : QLatin1String("name match")) +
                 QLatin1String(" (priority: ") + QString::number(match->priority) + QLatin1String(")") +
                 (match->cask.deprecated ? QLatin1String(" [DEPRECATED]") : QLatin1String()));
    Cask cask = std::move(match->cask);
    cask.adopted = false;
    cask.adoptable = true;
    return cask;
}

void BrewService::adoptCask(const QString& token, const LineHandler& handler)
{
    Logger::info(QLatin1String("Adopting cask: ") + token);
    if (!isHomebrewInstalled())
        throw NorvelleError::brewNotInstalled();
    CaskToken::require(token);
    runBrewCommandStreaming(
        brewPath(), {QStringLiteral("install"), QStringLiteral("--cask"), QStringLiteral("--adopt"), token},
        handler);
    clearCatalogueCache();
}

bool BrewService::isAcceptableUserArgument(const QString& text)
{
    if (text.isEmpty() || text.startsWith(QLatin1Char('-')))
        return false;
    return std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.isSpace() || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
               c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph;
    });
}

Cask BrewService::verifyCustomCask(const QString& caskName, const std::optional<QString>& tapName,
                                   const QString& applicationPath)
{
    if (!isHomebrewInstalled())
        throw NorvelleError::brewNotInstalled();

    // Typed text becomes `brew` arguments: anything that could read as an option
    // or smuggle in a second word is refused before `brew` runs.
    if (!CaskToken::isValid(caskName))
        refuse(QLatin1String("Invalid cask name: ") + caskName);
    QStringList tapPieces;
    if (tapName) {
        tapPieces = tapName->split(QLatin1Char(' '), Qt::SkipEmptyParts);
        // The tap's name, then optionally its remote.
        const bool acceptable = !tapPieces.isEmpty() && CaskToken::isValidTap(tapPieces.first()) &&
                                std::all_of(tapPieces.cbegin() + 1, tapPieces.cend(),
                                            &BrewService::isAcceptableUserArgument);
        if (!acceptable)
            refuse(QLatin1String("Invalid tap name: ") + *tapName);
    }

    std::optional<QString> conflictingPath;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_pathToCaskMap.cbegin(); it != m_pathToCaskMap.cend(); ++it) {
            if (it.value() == caskName) {
                if (it.key().toLower() != applicationPath.toLower())
                    conflictingPath = it.key();
                break;
            }
        }
    }
    if (conflictingPath)
        refuse(QLatin1String("Cask '") + caskName + QLatin1String("' is already managing another app at: ") +
               *conflictingPath);

    const QString path = brewPath();
    if (tapName) {
        try {
            runBrewCommand(path, QStringList{QStringLiteral("tap")} + tapPieces);
        } catch (const std::exception& e) {
            const QString reason = brewReason(e);
            refuse(QLatin1String("Failed to add tap: ") + (reason.isEmpty() ? describeException(e) : reason));
        }
    }

    Logger::info(QLatin1String("Fetching cask info for: ") + caskName);
    const QString fullName = tapName ? tapPieces.first() + QLatin1Char('/') + caskName : caskName;
    QByteArray output;
    try {
        output = runBrewCommand(
            path, {QStringLiteral("info"), QStringLiteral("--json=v2"), QStringLiteral("--cask"), fullName});
    } catch (const std::exception& e) {
        // Brew's answer ("No available cask with the name …") is what the user can act on; a run
        // that ended without one passes on as it came.
        const QString reason = brewReason(e);
        if (reason.isEmpty())
            throw;
        refuse(reason);
    }
    const QJsonDocument document = json::parse(output);

    const std::optional<QList<QJsonObject>> casks =
        document.isObject() ? json::objectList(document.object(), u"casks") : std::nullopt;
    if (!casks || casks->isEmpty()) {
        Logger::error(QStringLiteral("Failed to parse cask info"));
        throw NorvelleError::failedToParseBrewOutput();
    }
    const QJsonObject& first = casks->first();
    if (!first.isEmpty() && json::string(first, u"installed"))
        refuse(QLatin1String("Cask '") + caskName + QLatin1String("' is already installed"));
    std::optional<Cask> cask = parseCask(first, false);
    if (!cask) {
        Logger::error(QStringLiteral("Failed to parse cask info"));
        throw NorvelleError::failedToParseBrewOutput();
    }
    cask->adopted = false;
    cask->adoptable = true;
    return std::move(*cask);
}

} // namespace norvelle
