#include "ui/main/components/ElidingLabel.h"

#include <QEvent>
#include <QFontMetrics>

namespace norvelle {

ElidingLabel::ElidingLabel(QWidget* parent) : FittedTextLabel(parent)
{
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidingLabel::setFullText(const QString& text)
{
    if (!storeFullText(text))
        return;
    updateGeometry();
    elide();
}

std::pair<int, int> ElidingLabel::shareWidth(int first, int second, int room)
{
    room = std::max(0, room);
    if (first + second <= room)
        return {first, second};
    const int half = room / 2;
    if (first <= half)
        return {first, room - first};
    if (second <= half)
        return {room - second, second};
    return {half, room - half};
}

QSize ElidingLabel::minimumSizeHint() const
{
    // A short text keeps the pixel that sizeHint adds: elidedText measures finer than the whole
    // pixels of an advance, and would cut it to a bare "…".
    const QFontMetrics metrics(font());
    return QSize(
        std::min(metrics.horizontalAdvance(fullText()) + 1, metrics.horizontalAdvance(QStringLiteral("M…"))),
        metrics.height());
}

QSize ElidingLabel::sizeHint() const
{
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(fullText()) + 1, metrics.height());
}

void ElidingLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidingLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        elide();
}

void ElidingLabel::elide()
{
    // Output lines can hold control characters; one line is shown as one line.
    QString line = fullText();
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    const QString shown = QFontMetrics(font()).elidedText(line, Qt::ElideRight, std::max(0, width()));
    // What is shown before the ellipsis is the text's own beginning.
    const QString kept = shown != line && shown.endsWith(QChar(0x2026)) ? shown.chopped(1) : shown;
    showFitted(shown, {{0, 0, line.startsWith(kept) ? kept.size() : 0}});
    const QString tip = shown == line ? QString() : fullText();
    if (toolTip() != tip)
        setToolTip(tip);
}

} // namespace norvelle
