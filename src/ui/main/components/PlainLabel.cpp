#include "ui/main/components/PlainLabel.h"

#include "ui/main/components/PaletteFollower.h"
#include "ui/main/components/SystemColors.h"

#include <QLabel>
#include <QPalette>

namespace norvelle {

namespace {

enum class TextRole { none, primary, secondary, tertiary };

TextRole roleOf(const QColor& color)
{
    if (color == SystemColors::primary())
        return TextRole::primary;
    if (color == SystemColors::secondary())
        return TextRole::secondary;
    if (color == SystemColors::tertiary())
        return TextRole::tertiary;
    return TextRole::none;
}

QColor colorOf(TextRole role)
{
    switch (role) {
    case TextRole::primary:
        return SystemColors::primary();
    case TextRole::secondary:
        return SystemColors::secondary();
    case TextRole::tertiary:
        return SystemColors::tertiary();
    case TextRole::none:
        break;
    }
    return {};
}

void setPaletteTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    if (palette.color(QPalette::WindowText) == color && palette.color(QPalette::Text) == color &&
        palette.isBrushSet(QPalette::Active, QPalette::WindowText))
        return;
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

// A text colour given as one of the palette's text styles (primary, secondary, tertiary) is
// worked out again whenever the palette changes, so a theme switch recolours the text.
const QString textRoleFollowerName = QStringLiteral("textRoleFollower");

} // namespace

QLabel* makePlainLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent,
                       const char* objectName, Qt::Alignment alignment)
{
    auto* label = new QLabel(text, parent);
    setUpPlainLabel(label, font, color, objectName, alignment);
    return label;
}

void setUpPlainLabel(QLabel* label, const QFont& font, const QColor& color, const char* objectName,
                     Qt::Alignment alignment)
{
    if (objectName)
        label->setObjectName(QString::fromLatin1(objectName));
    label->setTextFormat(Qt::PlainText);
    if (alignment)
        label->setAlignment(alignment);
    label->setFont(font);
    if (color.isValid())
        setTextColor(label, color);
}

void setTextColor(QWidget* widget, const QColor& color)
{
    qDeleteAll(widget->findChildren<PaletteFollower*>(textRoleFollowerName, Qt::FindDirectChildrenOnly));
    setPaletteTextColor(widget, color);
    if (const TextRole role = roleOf(color); role != TextRole::none) {
        if (auto* follower =
                PaletteFollower::follow(widget, [widget, role] { setPaletteTextColor(widget, colorOf(role)); }))
            follower->setObjectName(textRoleFollowerName);
    }
}

} // namespace norvelle
