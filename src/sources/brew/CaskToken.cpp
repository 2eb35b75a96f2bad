#include "sources/brew/CaskToken.h"

#include "util/Error.h"
#include "platform/Logger.h"

namespace norvelle {

namespace {

bool isLowerAlnum(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
}

bool isAlnum(QChar c)
{
    return isLowerAlnum(c) || (c >= u'A' && c <= u'Z');
}

bool isShortToken(QStringView text)
{
    if (text.isEmpty() || !isLowerAlnum(text.front()))
        return false;
    for (QChar c : text) {
        if (!isLowerAlnum(c) && c != u'-' && c != u'+' && c != u'.' && c != u'@' && c != u'_')
            return false;
    }
    return true;
}

bool isTapPart(QStringView text)
{
    if (text.isEmpty() || !isAlnum(text.front()))
        return false;
    for (QChar c : text) {
        if (!isAlnum(c) && c != u'-' && c != u'.' && c != u'_')
            return false;
    }
    return true;
}

} // namespace

bool CaskToken::isValid(QStringView token)
{
    if (token.size() > maximumLength)
        return false;
    const qsizetype slash = token.lastIndexOf(u'/');
    if (slash < 0)
        return isShortToken(token);
    return isValidTap(token.first(slash)) && isShortToken(token.sliced(slash + 1));
}

bool CaskToken::isValidTap(QStringView tap)
{
    const qsizetype slash = tap.indexOf(u'/');
    return slash >= 0 && isTapPart(tap.first(slash)) && isTapPart(tap.sliced(slash + 1));
}

void CaskToken::require(const QString& token)
{
    if (isValid(token))
        return;
    Logger::error(QStringLiteral("Invalid cask token: ") + token);
    throw Error(QStringLiteral("Invalid cask token: ") + token);
}

} // namespace norvelle
