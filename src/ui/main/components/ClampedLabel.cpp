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

} // namespace

ClampedLabel::ClampedLabel(int maxLines, QWidget* parent) : QLabel(parent), m_maxLines(std::max(1, maxLines))
{
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void ClampedLabel::setFullText(const QString& text)
{
    if (text == m_fullText)
        return;
    m_fullText = text;
    relayout();
    updateGeometry();
}

QString ClampedLabel::clamp(const QString& text, const QFont& font, int width, int maxLines, bool* cut)
{
    if (cut)
        *cut = false;
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
    QStringList lines;
    const int kept = std::min<int>(starts.size(), maxLines) - 1;
    for (int i = 0; i < kept; ++i)
        lines.append(withoutTrailingSpace(flow.mid(starts[i], starts[i + 1] - starts[i])));
    if (starts.size() <= maxLines) {
        lines.append(withoutTrailingSpace(flow.mid(starts.last())));
        return lines.join(QLatin1Char('\n'));
    }

    const int last = starts[maxLines - 1];
    const QString rest = flow.mid(last).replace(QChar::LineSeparator, QLatin1Char(' ')).simplified();
    QString shown = QFontMetrics(font).elidedText(rest, Qt::ElideRight, width);
    // What follows came after line feeds of the text's own and would fit beside it: the line
    // still ends where it did, and says that more follows.
    if (shown == rest)
        shown = withoutTrailingSpace(flow.mid(last, starts[maxLines] - last)) + QChar(0x2026);
    lines.append(shown);
    if (cut)
        *cut = true;
    return lines.join(QLatin1Char('\n'));
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
    return heightFor(clamp(m_fullText, font(), available, m_maxLines), available);
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
    const QString shown = clamp(m_fullText, font(), available, m_maxLines, &cut);
    if (shown != text())
        setText(shown);
    m_cut = cut;
    setToolTip(cut ? m_fullText : QString());
}

} // namespace norvelle
