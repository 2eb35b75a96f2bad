#include "ui/platform/SystemClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace norvelle {

void SystemClipboard::copyText(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    clipboard->clear(QClipboard::Clipboard);
    clipboard->setText(text, QClipboard::Clipboard);
}

void SystemClipboard::copyToSelection(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard && clipboard->supportsSelection())
        clipboard->setText(text, QClipboard::Selection);
}

} // namespace norvelle
