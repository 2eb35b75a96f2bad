#include "ui/main/components/FittedTextLabel.h"

#include "ui/platform/SystemClipboard.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <algorithm>

namespace norvelle {

FittedTextLabel::FittedTextLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

bool FittedTextLabel::storeFullText(const QString& text)
{
    if (text == m_fullText && !text.isEmpty())
        return false;
    m_fullText = text;
    return true;
}

void FittedTextLabel::showFitted(const QString& shown, QList<Run> runs)
{
    m_runs = std::move(runs);
    if (shown != text())
        setText(shown);
}

qsizetype FittedTextLabel::wholePosition(qsizetype shown) const
{
    const auto after =
        std::upper_bound(m_runs.cbegin(), m_runs.cend(), shown,
                         [](qsizetype position, const Run& run) { return position < run.shown; });
    if (after == m_runs.cbegin())
        return std::min(shown, m_fullText.size());
    const Run& run = *(after - 1);
    return shown - run.shown <= run.length ? run.whole + (shown - run.shown) : m_fullText.size();
}

QString FittedTextLabel::selectedFullText() const
{
    const int start = selectionStart();
    if (start < 0)
        return QString();
    const qsizetype from = wholePosition(start);
    return m_fullText.mid(from, wholePosition(start + selectedText().size()) - from);
}

void FittedTextLabel::copySelection(QClipboard::Mode mode) const
{
    if (!hasSelectedText())
        return;
    static SystemClipboard desktop;
    Clipboard& clipboard = m_clipboard ? *m_clipboard : desktop;
    if (mode == QClipboard::Selection)
        clipboard.copyToSelection(selectedFullText());
    else
        clipboard.copyText(selectedFullText());
}

// The label's own copying would take the shown text; every way to copy takes the whole text.
void FittedTextLabel::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy) && hasSelectedText()) {
        copySelection(QClipboard::Clipboard);
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
    if (event->matches(QKeySequence::SelectAll))
        copySelection(QClipboard::Selection);
}

void FittedTextLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    copySelection(QClipboard::Selection);
}

void FittedTextLabel::contextMenuEvent(QContextMenuEvent* event)
{
    if (!(textInteractionFlags() & Qt::TextSelectableByMouse)) {
        QLabel::contextMenuEvent(event);
        return;
    }
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* copy =
        menu->addAction(QStringLiteral("&Copy"), this, [this] { copySelection(QClipboard::Clipboard); });
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(hasSelectedText());
    menu->addSeparator();
    menu->addAction(QStringLiteral("Select All"), this, [this] {
        setSelection(0, int(text().size()));
        copySelection(QClipboard::Selection);
    });
    event->accept();
    menu->popup(event->globalPos());
}

} // namespace norvelle
