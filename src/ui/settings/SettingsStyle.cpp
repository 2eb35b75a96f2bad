#include "ui/settings/SettingsStyle.h"

#include <QFont>
#include <QGraphicsOpacityEffect>
#include <QLabel>

namespace norvelle {

QLabel* SettingsStyle::label(const QString& text, const char* objectName, QWidget* parent)
{
    auto* result = new QLabel(text, parent);
    result->setTextFormat(Qt::PlainText);
    result->setObjectName(QString::fromLatin1(objectName));
    return result;
}

void SettingsStyle::pageTitle(QLabel* label)
{
    QFont font = label->font();
    font.setWeight(QFont::Medium);
    label->setFont(font);
    label->setContentsMargins(pageTitleIndent, 0, 0, 0);
}

void SettingsStyle::headline(QLabel* label)
{
    QFont font = label->font();
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
}

void SettingsStyle::subheadline(QLabel* label)
{
    QFont font = label->font();
    if (font.pointSize() > 1)
        font.setPointSize(font.pointSize() - 1);
    label->setFont(font);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    secondary(label);
}

void SettingsStyle::caption(QLabel* label)
{
    QFont font = label->font();
    if (font.pointSize() > 2)
        font.setPointSize(font.pointSize() - 2);
    label->setFont(font);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void SettingsStyle::secondary(QWidget* widget)
{
    auto* effect = new QGraphicsOpacityEffect(widget);
    effect->setOpacity(secondaryOpacity);
    widget->setGraphicsEffect(effect);
}

void SettingsStyle::pixelSize(QLabel* label, int pixels, bool medium)
{
    QFont font = label->font();
    font.setPixelSize(pixels);
    if (medium)
        font.setWeight(QFont::Medium);
    label->setFont(font);
}

} // namespace norvelle
