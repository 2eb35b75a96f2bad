#include "ui/main/components/PlainLabel.h"

#include <QLabel>
#include <QPalette>

namespace norvelle {

QLabel* makePlainLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent,
                       const char* objectName, Qt::Alignment alignment)
{
    auto* label = new QLabel(text, parent);
    if (objectName)
        label->setObjectName(QString::fromLatin1(objectName));
    label->setTextFormat(Qt::PlainText);
    if (alignment)
        label->setAlignment(alignment);
    label->setFont(font);
    if (color.isValid())
        setTextColor(label, color);
    return label;
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

} // namespace norvelle
