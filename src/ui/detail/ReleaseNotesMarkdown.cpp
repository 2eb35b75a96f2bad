#include "ui/detail/ReleaseNotesMarkdown.h"

#include <QStringList>
#include <QTextBoundaryFinder>

namespace norvelle {

namespace {

// The text cut into grapheme clusters, so that a marker followed by a combining
// mark is not mistaken for the bare marker.
QStringList graphemes(const QString& text)
{
    QStringList out;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype previous = 0;
    for (qsizetype next = finder.toNextBoundary(); next != -1; next = finder.toNextBoundary()) {
        if (next > previous)
            out.append(text.mid(previous, next - previous));
        previous = next;
    }
    return out;
}

QString joined(const QStringList& characters, qsizetype from, qsizetype to)
{
    QString out;
    for (qsizetype i = from; i < to; ++i)
        out += characters.at(i);
    return out;
}

// Horizontal whitespace only: space separators and the tab. Line breaks such as a
// carriage return are kept. Every space separator lies in the basic plane, so code
// units suffice (a surrogate half is never one).
bool isHorizontalSpace(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

QString trimmedHorizontally(const QString& line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && isHorizontalSpace(line.at(begin)))
        ++begin;
    while (end > begin && isHorizontalSpace(line.at(end - 1)))
        --end;
    return line.mid(begin, end - begin);
}

constexpr int maxHeaderLevel = 6;

// Level 1 to 6 when the line opens with that many "#" and a space, else 0.
int headerLevel(const QStringList& characters)
{
    qsizetype hashes = 0;
    while (hashes < characters.size() && characters.at(hashes) == QLatin1String("#"))
        ++hashes;
    if (hashes < 1 || hashes > maxHeaderLevel || hashes >= characters.size()
        || characters.at(hashes) != QLatin1String(" "))
        return 0;
    return static_cast<int>(hashes);
}

bool isBulletMarker(const QString& character)
{
    return character == QStringLiteral("\u2022") || character == QLatin1String("-")
        || character == QLatin1String("*");
}

// The index of the first `marker` at or after `from` (a run of `width` copies), or -1.
qsizetype findMarker(const QStringList& characters, qsizetype from, const QString& marker, int width)
{
    for (qsizetype i = from; i + width <= characters.size(); ++i) {
        bool match = true;
        for (int k = 0; k < width && match; ++k)
            match = characters.at(i + k) == marker;
        if (match)
            return i;
    }
    return -1;
}

} // namespace

QList<ReleaseNotesMarkdown::Line> ReleaseNotesMarkdown::parse(const QString& markdown)
{
    QList<Line> lines;
    const QStringList pieces = markdown.split(QLatin1Char('\n'));
    for (qsizetype n = 0; n < pieces.size(); ++n) {
        const int id = static_cast<int>(n);
        const QString trimmed = trimmedHorizontally(pieces.at(n));
        const QStringList characters = graphemes(trimmed);

        if (characters.size() == 1 && isBulletMarker(characters.first()))
            continue; // a marker with nothing after it
        if (characters.isEmpty()) {
            if (lines.isEmpty() || lines.last().type != LineType::spacer)
                lines.append({id, LineType::spacer, 0, {}});
            continue;
        }
        if (const int level = headerLevel(characters)) {
            lines.append({id, LineType::header, level, joined(characters, level + 1, characters.size())});
            continue;
        }
        if (characters.size() >= 2 && isBulletMarker(characters.at(0)) && characters.at(1) == QLatin1String(" ")) {
            lines.append({id, LineType::bullet, 0, joined(characters, 2, characters.size())});
            continue;
        }
        lines.append({id, LineType::text, 0, trimmed});
    }
    return lines;
}

QList<ReleaseNotesMarkdown::Run> ReleaseNotesMarkdown::renderInline(const QString& text)
{
    const QStringList characters = graphemes(text);
    const QString star = QStringLiteral("*");
    const QString backtick = QStringLiteral("`");
    QList<Run> runs;
    QString buffer;
    const auto flush = [&] {
        if (!buffer.isEmpty()) {
            runs.append({RunStyle::plain, buffer});
            buffer.clear();
        }
    };
    // Closes the span opened at `position` by `width` copies of `marker`, or keeps the
    // first character of the marker as a literal.
    const auto span = [&](qsizetype& position, const QString& marker, int width, RunStyle style) {
        flush();
        const qsizetype close = findMarker(characters, position + width, marker, width);
        if (close < 0) {
            buffer += marker;
            ++position;
            return;
        }
        runs.append({style, joined(characters, position + width, close)});
        position = close + width;
    };

    qsizetype position = 0;
    while (position < characters.size()) {
        const QString& c = characters.at(position);
        if (c == star && position + 1 < characters.size() && characters.at(position + 1) == star)
            span(position, star, 2, RunStyle::bold);
        else if (c == star)
            span(position, star, 1, RunStyle::italic);
        else if (c == backtick)
            span(position, backtick, 1, RunStyle::code);
        else {
            buffer += c;
            ++position;
        }
    }
    flush();
    return runs;
}

} // namespace norvelle
