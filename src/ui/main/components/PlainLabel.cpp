#include "ui/main/components/PlainLabel.h"

#include "ui/main/components/SystemColors.h"

#include <QEvent>
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
class TextRoleFollower : public QObject {
public:
    static constexpr const char* name = "textRoleFollower";

    TextRoleFollower(QWidget* widget, TextRole role) : QObject(widget), m_widget(widget), m_role(role)
    {
        setObjectName(QString::fromLatin1(name));
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_widget &&
            (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange))
            setPaletteTextColor(m_widget, colorOf(m_role));
        return false;
    }

private:
    QWidget* m_widget;
    TextRole m_role;
};

} // namespace

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
    const auto followers =
        widget->findChildren<QObject*>(QString::fromLatin1(TextRoleFollower::name), Qt::FindDirectChildrenOnly);
    qDeleteAll(followers);
    setPaletteTextColor(widget, color);
    if (const TextRole role = roleOf(color); role != TextRole::none)
        new TextRoleFollower(widget, role);
}

} // namespace norvelle
