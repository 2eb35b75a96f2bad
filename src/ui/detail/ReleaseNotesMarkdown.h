#pragma once

#include <QList>
#include <QString>

namespace norvelle {

// The small, line-oriented Markdown dialect of release notes: headings of "#" to
// "######", bullets ("• ", "- ", "* "), bold, italic and code spans, blank lines.
// Everything else (links, numbered items, HTML, underscores) is ordinary text shown
// exactly as written. Positions count user-perceived characters, not code units.
class ReleaseNotesMarkdown {
public:
    enum class LineType { header, bullet, text, spacer };

    // One parsed line. `id` is the zero-based index of its source line; dropped lines
    // use up their index, so ids rise strictly but may have gaps.
    struct Line {
        int id = 0;
        LineType type = LineType::text;
        int level = 0; // 1 to 6 for a header, else 0
        QString text;  // empty for a spacer

        bool operator==(const Line& other) const = default;
    };

    enum class RunStyle { plain, bold, italic, code };

    // One styled piece of a line's text; a span with nothing inside gives an empty run.
    struct Run {
        RunStyle style = RunStyle::plain;
        QString text;

        bool operator==(const Run& other) const = default;
    };

    // The lines of the whole notes text, in source order.
    static QList<Line> parse(const QString& markdown);
    // The runs of one line's text, in order; spans do not nest.
    static QList<Run> renderInline(const QString& text);
};

} // namespace norvelle
