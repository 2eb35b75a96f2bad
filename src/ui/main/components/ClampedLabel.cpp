#include "ui/main/components/ClampedLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QTextLayout>
#include <algorithm>

namespace norvelle {

namespace {

// Wide enough that no text wraps; a label's height never comes near it.
constexpr int unbounded = 1 << 20;

QString withoutTrailingSpace(QString line)
{
    while (!line.isEmpty() && (line.back().isSpace() || line.back() == QChar::LineSeparator))
        line.chop(1);
    return line;
}

// The lines, one under the other, and each as a run of `text`. A break of the label's own is a
// line separator, not a paragraph's end, so a triple-click still selects the whole paragraph.
QString joined(const QList<std::pair<QString, qsizetype>>& lines, const QString& text,
               QList<FittedTextLabel::Run>* runs)
{
    QString shown;
    for (const auto& [line, start] : lines) {
        if (start > lines.first().second)
            shown.append(text.at(start - 1) == QLatin1Char('\n') ? QChar(QLatin1Char('\n'))
                                                                 : QChar::LineSeparator);
        const QStringView rest = QStringView(text).mid(start);
        const auto differ = std::mismatch(line.cbegin(), line.cend(), rest.cbegin(), rest.cend());
        if (runs)
            runs->append({shown.size(), start, differ.first - line.cbegin()});
        shown.append(line);
    }
    return shown;
}

} // namespace

ClampedLabel::ClampedLabel(int maxLines, QWidget* parent)
    : FittedTextLabel(parent), m_maxLines(std::max(1, maxLines))
{
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void ClampedLabel::setFullText(const QString& text)
{
    if (!storeFullText(text))
        return;
    relayout();
    updateGeometry();
}

QString ClampedLabel::clamp(const QString& text, const QFont& font, int width, int maxLines, bool* cut,
                            QList<Run>* runs)
{
    if (cut)
        *cut = false;
    if (runs)
        *runs = {{0, 0, text.size()}};
    if (width <= 0 || maxLines <= 0 || text.isEmpty())
        return text;
    // Lines break as the label draws them: at spaces and at the text's own line feeds.
    QString flow = text;
    flow.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(flow, font);
    // A word wider than the label (brew's bar of #s) breaks where it must instead of widening it.
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QList<int> starts;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid() && starts.size() <= maxLines;
         line = layout.createLine()) {
        line.setLineWidth(width);
        starts.append(line.textStart());
    }
    layout.endLayout();
    // The lines go to the label as laid out here, so it draws them as they were counted.
    QList<std::pair<QString, qsizetype>> lines;
    if (runs)
        runs->clear();
    const int kept = std::min<int>(starts.size(), maxLines) - 1;
    for (int i = 0; i < kept; ++i)
        lines.append({withoutTrailingSpace(flow.mid(starts[i], starts[i + 1] - starts[i])), starts[i]});
    if (starts.size() <= maxLines) {
        lines.append({withoutTrailingSpace(flow.mid(starts.last())), starts.last()});
        return joined(lines, text, runs);
    }

    const int last = starts[maxLines - 1];
    const QString rest = flow.mid(last).replace(QChar::LineSeparator, QLatin1Char(' ')).simplified();
    QString shown = QFontMetrics(font).elidedText(rest, Qt::ElideRight, width);
    // What follows came after line feeds of the text's own and would fit beside it: the line
    // still ends where it did, and says that more follows.
    if (shown == rest)
        shown = withoutTrailingSpace(flow.mid(last, starts[maxLines] - last)) + QChar(0x2026);
    lines.append({shown, last});
    if (cut)
        *cut = true;
    return joined(lines, text, runs);
}

int ClampedLabel::textWidth(int width) const
{
    const QMargins margins = contentsMargins();
    return width - margins.left() - margins.right() - 2 * margin();
}

int ClampedLabel::heightFor(const QString& text, int width) const
{
    const QMargins margins = contentsMargins();
    const int lines = fontMetrics()
                          .boundingRect(QRect(0, 0, std::max(width, 1), unbounded), Qt::TextWordWrap, text)
                          .height();
    return lines + margins.top() + margins.bottom() + 2 * margin();
}

int ClampedLabel::heightForWidth(int width) const
{
    const int available = textWidth(width);
    return heightFor(clamp(fullText(), font(), available, m_maxLines), available);
}

QSize ClampedLabel::sizeHint() const
{
    // Never asks for more than its lines, whatever width the hint was worked out for.
    QSize hint = QLabel::sizeHint();
    if (m_maxLines == anyNumberOfLines)
        return hint;
    hint.setHeight(std::min(hint.height(), heightFor(QStringList(m_maxLines, QStringLiteral("X")).join(QLatin1Char('\n')),
                                                     unbounded)));
    return hint;
}

QSize ClampedLabel::minimumSizeHint() const
{
    // Any width will do: the text breaks, and is cut, to fit it.
    QSize hint = QLabel::minimumSizeHint();
    hint.setHeight(std::min(hint.height(), sizeHint().height()));
    hint.setWidth(std::min(hint.width(), fontMetrics().horizontalAdvance(QStringLiteral("Xxxxxxxx"))));
    return hint;
}

void ClampedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    relayout();
}

void ClampedLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        relayout();
}

void ClampedLabel::relayout()
{
    // Until a layout or its owner gives it a width, the label has none to wrap at.
    const int available = testAttribute(Qt::WA_Resized) ? textWidth(width()) : 0;
    bool cut = false;
    QList<Run> runs;
    const QString shown = clamp(fullText(), font(), available, m_maxLines, &cut, &runs);
    showFitted(shown, std::move(runs));
    m_cut = cut;
    setToolTip(cut ? fullText() : QString());
}

} // namespace norvelle
