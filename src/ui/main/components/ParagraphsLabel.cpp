#include "ui/main/components/ParagraphsLabel.h"

#include <QApplication>
#include <QMouseEvent>

namespace norvelle {

ParagraphsLabel::ParagraphsLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void ParagraphsLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    QLabel::mouseDoubleClickEvent(event);
    m_sinceDoubleClick.start();
    m_doubleClickAt = event->position();
}

void ParagraphsLabel::mousePressEvent(QMouseEvent* event)
{
    QLabel::mousePressEvent(event);
    const bool thirdClick =
        m_sinceDoubleClick.isValid() && m_sinceDoubleClick.elapsed() < QApplication::doubleClickInterval() &&
        (event->position() - m_doubleClickAt).manhattanLength() < QApplication::startDragDistance();
    m_sinceDoubleClick.invalidate();
    if (!thirdClick || event->button() != Qt::LeftButton)
        return;
    // The selection goes to the clipboard when the button is released, so it is put right now.
    const QString selected = selectedText();
    if (selected.endsWith(QChar::ParagraphSeparator) || selected.endsWith(QLatin1Char('\n')))
        setSelection(selectionStart(), int(selected.size()) - 1);
}

} // namespace norvelle
