#include "sources/mas/MASOutputParser.h"

#include "util/StrictText.h"

#include <algorithm>

namespace norvelle {

QStringList MASOutputParser::splitLines(QByteArrayView output, qsizetype* invalidLines)
{
    return decodeUtf8Lines(output, invalidLines);
}

std::optional<MASListEntry> MASOutputParser::parseListLine(QStringView line)
{
    const QString trimmed = trimSpacesAndTabs(line);
    const qsizetype space = trimmed.indexOf(u' ');
    if (space < 0)
        return std::nullopt;
    const QStringView appID = QStringView(trimmed).left(space);
    // A store identifier is ASCII digits only; a warning that happens to hold parentheses has
    // some other first word.
    if (!std::all_of(appID.cbegin(), appID.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    const QStringView rest = QStringView(trimmed).mid(space + 1);

    const qsizetype open = rest.lastIndexOf(u'(');
    if (open < 0 || !rest.contains(u')'))
        return std::nullopt;
    const QString appName = trimSpacesAndTabs(rest.left(open));
    if (appName.isEmpty())
        return std::nullopt;
    return MASListEntry{appID.toString(), appName};
}

bool MASOutputParser::isListLine(QStringView line)
{
    return parseListLine(line).has_value();
}

std::optional<MASOutdated> MASOutputParser::parseOutdatedLine(QStringView line)
{
    const qsizetype space = line.indexOf(u' ');
    const QStringView appID = space < 0 ? line : line.left(space);

    const qsizetype openWithSpace = line.indexOf(u" (");
    if (openWithSpace < 0)
        return std::nullopt;
    const qsizetype open = openWithSpace + 1;
    const qsizetype close = line.indexOf(u')');
    if (close < 0 || close < open)
        return std::nullopt;

    const QStringView inside = line.mid(open + 1, close - open - 1);
    const qsizetype arrow = inside.indexOf(u" -> ");
    if (arrow < 0 || inside.indexOf(u" -> ", arrow + 4) >= 0)
        return std::nullopt;

    return MASOutdated{appID.toString(), trimSpacesAndTabs(inside.left(arrow)),
                       trimSpacesAndTabs(inside.mid(arrow + 4))};
}

} // namespace norvelle
