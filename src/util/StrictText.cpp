#include "util/StrictText.h"

#include <QStringDecoder>
#include <limits>

namespace norvelle {

std::optional<QString> decodeUtf8Strict(QByteArrayView bytes)
{
    // Stateless so that a sequence cut off at the end counts as an error instead of being
    // kept back for a next chunk that never comes.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

namespace {

bool isWhitespaceOrNewline(QChar c)
{
    // QChar::isSpace covers exactly the separator categories plus the C0 controls
    // U+0009..U+000D and U+0085.
    return c.isSpace();
}

bool isSpaceOrTab(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

template <typename Pred> QString trimBy(QStringView text, Pred pred)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && pred(text[begin]))
        ++begin;
    while (end > begin && pred(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toString();
}

} // namespace

QString trimWhitespaceAndNewlines(QStringView text)
{
    return trimBy(text, isWhitespaceOrNewline);
}

QString trimSpacesAndTabs(QStringView text)
{
    return trimBy(text, isSpaceOrTab);
}

bool isUnicodeNewline(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x000A && u <= 0x000D) || u == 0x0085 || u == 0x2028 || u == 0x2029;
}

QStringList splitAtNewlines(QStringView text)
{
    QStringList pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || isUnicodeNewline(text[i])) {
            if (i > start)
                pieces.append(text.sliced(start, i - start).toString());
            start = i + 1;
        }
    }
    return pieces;
}

QStringList decodeUtf8Lines(QByteArrayView bytes, qsizetype* invalidLines)
{
    QStringList lines;
    qsizetype invalid = 0;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        if (end > start) {
            if (const std::optional<QString> piece = decodeUtf8Strict(bytes.sliced(start, end - start)))
                lines += splitAtNewlines(*piece);
            else
                ++invalid;
        }
        start = end + 1;
    }
    if (invalidLines)
        *invalidLines = invalid;
    return lines;
}

std::optional<qint64> parseInt64Strict(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    // Accumulate as a negative number so that the minimum value fits.
    qint64 value = 0;
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    for (; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < u'0' || u > u'9')
            return std::nullopt;
        const int digit = u - u'0';
        if (value < (min + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == min)
            return std::nullopt;
        value = -value;
    }
    return value;
}

} // namespace norvelle
