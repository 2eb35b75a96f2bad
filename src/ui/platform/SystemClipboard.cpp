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

} // namespace norvelle
