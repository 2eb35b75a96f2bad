#include "ui/main/components/ElidingLabel.h"

#include <QEvent>
#include <QFontMetrics>

namespace norvelle {

ElidingLabel::ElidingLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidingLabel::setFullText(const QString& text)
{
    if (text == m_fullText && !text.isEmpty())
        return;
    m_fullText = text;
    updateGeometry();
    elide();
}

QSize ElidingLabel::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    return QSize(std::min(metrics.horizontalAdvance(m_fullText), metrics.horizontalAdvance(QStringLiteral("M…"))),
                 metrics.height());
}

QSize ElidingLabel::sizeHint() const
{
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(m_fullText) + 1, metrics.height());
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
    QString line = m_fullText;
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    const QString shown = QFontMetrics(font()).elidedText(line, Qt::ElideRight, std::max(0, width()));
    if (text() != shown)
        setText(shown);
    const QString tip = shown == line ? QString() : m_fullText;
    if (toolTip() != tip)
        setToolTip(tip);
}

} // namespace norvelle
