#include "sources/brew/AdoptionMatcher.h"

#include <optional>
#include <string_view>

namespace norvelle {

AdoptionMatcher::AdoptionMatcher(const QMap<QString, Cask>& catalogue)
{
    m_casks.reserve(catalogue.size());
    // Sized once: growing them rehashed every key several times, a third of the cost here.
    m_byArtifact.reserve(catalogue.size() * 2);
    m_byToken.reserve(catalogue.size());
    for (auto it = catalogue.cbegin(); it != catalogue.cend(); ++it) {
        const Cask& cask = it.value();
        if (cask.disabled)
            continue;
        const qsizetype index = m_casks.size();
        m_casks.append(cask);
        for (const QString& artifact : cask.artifacts) {
            QList<qsizetype>& slot = m_byArtifact[artifactKey(artifact)];
            // Two artifacts of one cask with the same key still make one candidate.
            if (slot.isEmpty() || slot.last() != index)
                slot.append(index);
        }
        m_byToken[normalisedToken(it.key())].append(index);
    }
}

namespace {

// ASCII text, the usual case, is lowered in one pass with no table lookups; none is given for
// other text, which goes through QString::toLower. Removing the characters before or after
// lowering makes no difference: no upper-case letter lowers to one of them. `dropApp` takes out
// ".app" as QString::remove does: case-sensitive, left to right and without overlaps.
std::optional<QString> loweredAscii(QStringView text, std::string_view drop, bool dropApp = false)
{
    static constexpr std::u16string_view app = u".app";
    QString result(text.size(), Qt::Uninitialized);
    char16_t* const begin = reinterpret_cast<char16_t*>(result.data());
    char16_t* out = begin;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80)
            return std::nullopt;
        if (dropApp && c == u'.' &&
            std::u16string_view(text.utf16() + i, size_t(text.size() - i)).starts_with(app)) {
            i += qsizetype(app.size()) - 1;
            continue;
        }
        if (drop.find(char(c)) != std::string_view::npos)
            continue;
        *out++ = c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
    }
    result.truncate(out - begin);
    return result;
}

} // namespace

QString AdoptionMatcher::normalisedToken(const QString& token)
{
    if (std::optional<QString> ascii = loweredAscii(token, "-_@"))
        return *std::move(ascii);
    QString result = token.toLower();
    result.remove(QLatin1Char('-'));
    result.remove(QLatin1Char('_'));
    result.remove(QLatin1Char('@'));
    return result;
}

QString AdoptionMatcher::normalisedApplicationName(const QString& name)
{
    if (std::optional<QString> ascii = loweredAscii(name, " -_"))
        return *std::move(ascii);
    QString result = name.toLower();
    result.remove(QLatin1Char(' '));
    result.remove(QLatin1Char('-'));
    result.remove(QLatin1Char('_'));
    return result;
}

QString AdoptionMatcher::artifactKey(const QString& artifact)
{
    if (std::optional<QString> ascii = loweredAscii(artifact, {}, true))
        return *std::move(ascii);
    QString result = artifact;
    result.remove(QLatin1String(".app"), Qt::CaseSensitive);
    return std::move(result).toLower(); // in place when remove() made a copy already
}

qint64 AdoptionMatcher::priorityFor(const Cask& cask, bool isExactArtifact)
{
    qint64 priority = isExactArtifact ? 1000 : 500;
    if (cask.deprecated)
        priority -= 5000;
    priority += cask.caskName.contains(QLatin1Char('@')) ? -2000 : 200;
    return priority;
}

std::optional<AdoptionMatcher::Match>
AdoptionMatcher::find(const QString& applicationName,
                      const std::function<bool(const QString& token)>& isInstalled) const
{
    if (m_casks.isEmpty())
        return std::nullopt;

    std::optional<Match> best;
    qsizetype bestIndex = -1;
    auto consider = [&](qsizetype index, bool isExactArtifact) {
        const Cask& cask = m_casks.at(index);
        if (isInstalled(cask.caskName))
            return;
        const qint64 priority = priorityFor(cask, isExactArtifact);
        // Highest priority wins; on a tie the cask earlier in walk order stays.
        if (best && (priority < best->priority || (priority == best->priority && index > bestIndex)))
            return;
        best = Match{cask, isExactArtifact, priority};
        bestIndex = index;
    };

    const auto artifactHits = m_byArtifact.constFind(applicationName.toLower());
    const QList<qsizetype> noHits;
    const QList<qsizetype>& byArtifact = artifactHits != m_byArtifact.cend() ? *artifactHits : noHits;
    for (qsizetype index : byArtifact)
        consider(index, true);

    const auto tokenHits = m_byToken.constFind(normalisedApplicationName(applicationName));
    if (tokenHits != m_byToken.cend()) {
        for (qsizetype index : *tokenHits) {
            // A cask that matched by artifact yields no second, weaker candidate.
            if (!std::binary_search(byArtifact.cbegin(), byArtifact.cend(), index))
                consider(index, false);
        }
    }
    return best;
}

} // namespace norvelle
