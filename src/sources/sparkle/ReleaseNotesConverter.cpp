#include "sources/sparkle/ReleaseNotesConverter.h"

#include <QList>
#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace norvelle {

namespace {

using namespace Qt::StringLiterals;

// The characters a non-dot-all "." refuses: LF, VT, FF, CR, NEL, LINE SEPARATOR, PARAGRAPH SEPARATOR.
bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x85:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

bool isGreaterThan(QChar c)
{
    return c == u'>';
}
bool isQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

// Answers "where is the first occurrence at or after `from`?" for a sequence of non-decreasing `from`
// values, reusing the previous answer while it is still ahead. Every part of the text is therefore scanned
// at most once, which keeps the tag scanners below linear however many opening tags fail to match.
template <typename Find> class ForwardSearch {
public:
    explicit ForwardSearch(Find find) : m_find(std::move(find)) {}

    qsizetype next(qsizetype from)
    {
        Q_ASSERT(from >= m_from);
        m_from = from;
        if (!m_searched || (m_found >= 0 && m_found < from)) {
            m_found = m_find(from);
            m_searched = true;
        }
        return m_found;
    }

private:
    Find m_find;
    qsizetype m_from = 0;
    qsizetype m_found = -1;
    bool m_searched = false;
};

auto literalSearch(const QString& text, QLatin1StringView needle)
{
    return ForwardSearch(
        [&text, needle](qsizetype from) { return text.indexOf(needle, from, Qt::CaseInsensitive); });
}

auto charSearch(const QString& text, bool (*matches)(QChar))
{
    return ForwardSearch([&text, matches](qsizetype from) {
        for (qsizetype i = from; i < text.size(); ++i) {
            if (matches(text.at(i)))
                return i;
        }
        return qsizetype(-1);
    });
}

// An element matched as `open` + [^>]* + ">" + (lazy content) + `close`, letter case ignored. A block is
// removed with its content, which may span lines; any other element becomes `before` + content + `after`,
// and its content never spans a line break.
struct Element {
    QLatin1StringView open;
    QLatin1StringView close;
    bool block;
    QLatin1StringView before;
    QLatin1StringView after;
};

// Same matches as the regular expression the element describes (leftmost first, lazy content), but in one
// pass: a backtracking engine retries the lazy content from every unmatched opening tag and turns a long
// line full of them into quadratic work.
QString replaceElements(const QString& text, const Element& element)
{
    auto opens = literalSearch(text, element.open);
    auto tagEnds = charSearch(text, isGreaterThan);
    auto closes = literalSearch(text, element.close);
    auto breaks = charSearch(text, isLineBreak);
    QString out;
    qsizetype copied = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype start = opens.next(from);
        if (start < 0)
            break;
        const qsizetype tagEnd = tagEnds.next(start + element.open.size());
        const qsizetype close = tagEnd < 0 ? -1 : closes.next(tagEnd + 1);
        if (close < 0)
            break; // every later opening tag ends at or after this one, so none can match either
        if (!element.block) {
            const qsizetype lineBreak = breaks.next(tagEnd + 1);
            if (lineBreak >= 0 && lineBreak < close) {
                from = start + 1;
                continue;
            }
        }
        out += QStringView(text).sliced(copied, start - copied);
        if (!element.block) {
            out += element.before;
            out += QStringView(text).sliced(tagEnd + 1, close - tagEnd - 1);
            out += element.after;
        }
        copied = from = close + element.close.size();
    }
    if (copied == 0)
        return text;
    out += QStringView(text).sliced(copied);
    return out;
}

// Links: <a[^>]*href=["']([^"']*)["'][^>]*>(.*?)</a>, letter case ignored, replaced by "[$2]($1)".
// The greedy [^>]* before "href=" makes the pattern prefer the last quoted href= ahead of the tag's first
// ">". Only that last one can carry its value past that ">"; every earlier one ends its tag there. So at
// most two readings of an opening tag need checking, the last href= and the one before it.
QString replaceLinks(const QString& text)
{
    constexpr auto open = "<a"_L1;
    constexpr auto close = "</a>"_L1;
    constexpr auto href = "href="_L1;
    QList<qsizetype> hrefs;
    for (qsizetype at = text.indexOf(href, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(href, at + href.size(), Qt::CaseInsensitive)) {
        if (at + href.size() < text.size() && isQuote(text.at(at + href.size())))
            hrefs.append(at);
    }
    const qsizetype valueOffset = href.size() + 1;

    auto opens = literalSearch(text, open);
    auto tagEnds = charSearch(text, isGreaterThan);
    auto closes = literalSearch(text, close);
    auto breaks = charSearch(text, isLineBreak);
    // Separate searches for the last href='s reading, whose positions grow independently of the above.
    auto valueEnds = charSearch(text, isQuote);
    auto lateTagEnds = charSearch(text, isGreaterThan);
    auto lateCloses = literalSearch(text, close);
    auto lateBreaks = charSearch(text, isLineBreak);

    QString out;
    qsizetype copied = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype start = opens.next(from);
        if (start < 0)
            break;
        const qsizetype tagEnd = tagEnds.next(start + open.size());
        if (tagEnd < 0)
            break;
        const auto firstAfter = std::lower_bound(hrefs.cbegin(), hrefs.cend(), tagEnd);
        const auto usable = [&](auto it) { return it != hrefs.cbegin() && *(it - 1) >= start + open.size(); };
        qsizetype valueStart = -1, valueEnd = -1, textStart = -1, textEnd = -1;
        if (usable(firstAfter)) {
            const qsizetype last = *(firstAfter - 1);
            const qsizetype lastValueEnd = valueEnds.next(last + valueOffset);
            const qsizetype lastTagEnd = lastValueEnd < 0 ? -1 : lateTagEnds.next(lastValueEnd + 1);
            const qsizetype lastClose = lastTagEnd < 0 ? -1 : lateCloses.next(lastTagEnd + 1);
            if (lastClose >= 0) {
                const qsizetype lineBreak = lateBreaks.next(lastTagEnd + 1);
                if (lineBreak < 0 || lineBreak > lastClose) {
                    valueStart = last + valueOffset;
                    valueEnd = lastValueEnd;
                    textStart = lastTagEnd + 1;
                    textEnd = lastClose;
                }
            }
            if (textEnd < 0 && usable(firstAfter - 1)) {
                const qsizetype earlierClose = closes.next(tagEnd + 1);
                const qsizetype lineBreak = earlierClose < 0 ? -1 : breaks.next(tagEnd + 1);
                if (earlierClose >= 0 && (lineBreak < 0 || lineBreak > earlierClose)) {
                    valueStart = *(firstAfter - 2) + valueOffset;
                    valueEnd = valueStart;
                    while (!isQuote(text.at(valueEnd))) // ends at the last href='s quote at the latest
                        ++valueEnd;
                    textStart = tagEnd + 1;
                    textEnd = earlierClose;
                }
            }
        }
        if (textEnd < 0) {
            from = start + 1;
            continue;
        }
        out += QStringView(text).sliced(copied, start - copied);
        out += u'[';
        out += QStringView(text).sliced(textStart, textEnd - textStart);
        out += "]("_L1;
        out += QStringView(text).sliced(valueStart, valueEnd - valueStart);
        out += u')';
        copied = from = textEnd + close.size();
    }
    if (copied == 0)
        return text;
    out += QStringView(text).sliced(copied);
    return out;
}

// A tag pattern that ends in [^>]*> cannot match anything after the text's last ">". Handing the engine only
// the part up to there means every attempt that gets past the tag name also finds its ">", so the search
// stays linear instead of rescanning a long ">"-less tail from each "<".
void replaceTags(QString& text, const QRegularExpression& pattern, const QString& replacement)
{
    const qsizetype end = text.lastIndexOf(u'>') + 1;
    if (end == 0)
        return;
    if (end == text.size()) {
        text.replace(pattern, replacement);
        return;
    }
    QString head = text.first(end);
    head.replace(pattern, replacement);
    head += QStringView(text).sliced(end);
    text = std::move(head);
}

constexpr Element kElements[] = {
    {"<style"_L1, "</style>"_L1, true, ""_L1, ""_L1},
    {"<script"_L1, "</script>"_L1, true, ""_L1, ""_L1},
    {"<head"_L1, "</head>"_L1, true, ""_L1, ""_L1},
    {"<h1"_L1, "</h1>"_L1, false, "\n# "_L1, "\n"_L1},
    {"<h2"_L1, "</h2>"_L1, false, "\n## "_L1, "\n"_L1},
    {"<h3"_L1, "</h3>"_L1, false, "\n### "_L1, "\n"_L1},
    {"<h4"_L1, "</h4>"_L1, false, "\n#### "_L1, "\n"_L1},
    {"<h5"_L1, "</h5>"_L1, false, "\n##### "_L1, "\n"_L1},
    {"<h6"_L1, "</h6>"_L1, false, "\n###### "_L1, "\n"_L1},
    {"<strong"_L1, "</strong>"_L1, false, "**"_L1, "**"_L1},
    {"<b"_L1, "</b>"_L1, false, "**"_L1, "**"_L1},
    {"<em"_L1, "</em>"_L1, false, "*"_L1, "*"_L1},
    {"<i"_L1, "</i>"_L1, false, "*"_L1, "*"_L1},
    {"<code"_L1, "</code>"_L1, false, "`"_L1, "`"_L1},
};

// The substitutions after the links, in order: a regular expression (letter case ignored unless noted)
// or a literal text compared without letter case.
struct Substitution {
    bool literal;
    const char* find;
    const char16_t* replacement;
    bool caseSensitive = false;
};

constexpr Substitution kSubstitutions[] = {
    {false, "<ul[^>]*>", u"\n"},   {true, "</ul>", u"\n"},           {false, "<ol[^>]*>", u"\n"},
    {true, "</ol>", u"\n"},        {false, "<li[^>]*>", u"\u2022 "}, {true, "</li>", u"\n"},
    {true, "</p>", u"\n\n"},       {false, "<p[^>]*>", u""},         {false, "<br[^>]*>", u"\n"},
    {false, "</?div[^>]*>", u""},  {false, "</?span[^>]*>", u""},    {false, "</?html[^>]*>", u""},
    {false, "</?body[^>]*>", u""}, {false, "<[^>]+>", u"", true},
};

struct NamedReference {
    QLatin1StringView name;
    char16_t character;
};

constexpr NamedReference kNamedReferences[] = {
    {"&nbsp;"_L1, u' '},       {"&amp;"_L1, u'&'},        {"&lt;"_L1, u'<'},
    {"&gt;"_L1, u'>'},         {"&quot;"_L1, u'"'},       {"&#39;"_L1, u'\''},
    {"&apos;"_L1, u'\''},      {"&bull;"_L1, u'\u2022'},  {"&middot;"_L1, u'\u00B7'},
    {"&ndash;"_L1, u'\u2013'}, {"&mdash;"_L1, u'\u2014'}, {"&lsquo;"_L1, u'\u2018'},
    {"&rsquo;"_L1, u'\u2019'}, {"&ldquo;"_L1, u'\u201C'}, {"&rdquo;"_L1, u'\u201D'},
};

int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (base == 16 && u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (base == 16 && u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Reads "&#digits;" or "&#xhexdigits;" at `at`. Returns the reference's length (0 when there is none) and
// sets `codePoint` to its value, or to -1 when the value is no character (beyond U+10FFFF, a surrogate).
qsizetype readNumericReference(QStringView text, qsizetype at, qint64& codePoint)
{
    if (!text.sliced(at).startsWith("&#"_L1))
        return 0;
    qsizetype i = at + 2;
    const int base = i < text.size() && text.at(i) == u'x' ? 16 : 10;
    if (base == 16)
        ++i;
    const qsizetype digitsStart = i;
    qint64 value = 0;
    for (int d; i < text.size() && (d = digitValue(text.at(i), base)) >= 0; ++i) {
        if (value <= 0x10FFFF) // past that it is no character anyway; stop growing so it cannot overflow
            value = value * base + d;
    }
    if (i == digitsStart || i >= text.size() || text.at(i) != u';')
        return 0;
    codePoint = value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF) ? -1 : value;
    return i + 1 - at;
}

} // namespace

std::optional<QString> ReleaseNotesConverter::convertHTMLToMarkdown(const QString& html)
{
    if (html.isEmpty())
        return std::nullopt;

    QString text = html;
    for (const Element& element : kElements)
        text = replaceElements(text, element);
    text = replaceLinks(text);
    // Compiled once per thread: compiling them on every call cost more than the conversion itself.
    thread_local const QList<QRegularExpression> patterns = [] {
        QList<QRegularExpression> list;
        for (const Substitution& step : kSubstitutions)
            list.append(QRegularExpression(QString::fromLatin1(step.find),
                                           step.caseSensitive ? QRegularExpression::NoPatternOption
                                                              : QRegularExpression::CaseInsensitiveOption));
        return list;
    }();
    for (qsizetype i = 0; i < qsizetype(std::size(kSubstitutions)); ++i) {
        const Substitution& step = kSubstitutions[i];
        const QString replacement = QString::fromUtf16(step.replacement);
        if (step.literal)
            text.replace(QString::fromLatin1(step.find), replacement, Qt::CaseInsensitive);
        else
            replaceTags(text, patterns.at(i), replacement);
    }
    text = decodeHTMLEntities(text);
    thread_local const QRegularExpression blankLines(u"\n\n\n+"_s);
    thread_local const QRegularExpression spaces(u" +"_s);
    text.replace(blankLines, u"\n\n"_s);
    text.replace(spaces, u" "_s);
    // QChar::isSpace covers the Unicode separators plus tab, LF, VT, FF, CR and NEL.
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

QString ReleaseNotesConverter::decodeHTMLEntities(const QString& text)
{
    QString out;
    qsizetype copied = 0;
    for (qsizetype at = text.indexOf(u'&'); at >= 0; at = text.indexOf(u'&', at + 1)) {
        const QStringView rest = QStringView(text).sliced(at);
        const auto named = std::find_if(std::begin(kNamedReferences), std::end(kNamedReferences),
                                        [rest](const NamedReference& r) { return rest.startsWith(r.name); });
        qsizetype length = 0;
        char32_t decoded = 0;
        if (named != std::end(kNamedReferences)) {
            length = named->name.size();
            decoded = named->character;
        } else {
            qint64 codePoint = -1;
            length = readNumericReference(text, at, codePoint);
            if (length == 0 || codePoint < 0)
                continue;
            decoded = char32_t(codePoint);
        }
        out += QStringView(text).sliced(copied, at - copied);
        out += QString::fromUcs4(&decoded, 1);
        copied = at + length;
        at = copied - 1;
    }
    if (copied == 0)
        return text;
    out += QStringView(text).sliced(copied);
    return out;
}

} // namespace norvelle
