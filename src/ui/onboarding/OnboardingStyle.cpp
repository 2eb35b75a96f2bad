#include "ui/onboarding/OnboardingStyle.h"

#include "ui/SymbolIcons.h"
#include "ui/main/components/PaletteFollower.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace norvelle {

namespace {

QColor mix(const QColor& from, const QColor& to, qreal share)
{
    return QColor::fromRgbF(static_cast<float>(from.redF() + (to.redF() - from.redF()) * share),
                            static_cast<float>(from.greenF() + (to.greenF() - from.greenF()) * share),
                            static_cast<float>(from.blueF() + (to.blueF() - from.blueF()) * share));
}

// The palette the widget would have without its own settings: its parent's, else the
// application's.
QPalette inheritedPalette(const QWidget* widget)
{
    if (const QWidget* parent = widget->parentWidget())
        return parent->palette();
    return QApplication::palette();
}

// Layouts size a wrapping label before they know its width and may squeeze it below its
// lines; once it has a width, it claims the height all its lines need.
class WrapHeightKeeper : public QObject {
public:
    explicit WrapHeightKeeper(QLabel* label) : QObject(label), m_label(label) { label->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_label && event->type() == QEvent::Resize) {
            const int needed = m_label->heightForWidth(m_label->width());
            if (needed > 0 && needed != m_label->minimumHeight())
                m_label->setMinimumHeight(needed);
        }
        return false;
    }

private:
    QLabel* m_label;
};

void setTextColors(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    if (palette.color(QPalette::WindowText) == color && palette.color(QPalette::ButtonText) == color
        && palette.color(QPalette::Text) == color && palette.isBrushSet(QPalette::Active, QPalette::WindowText))
        return;
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

void applyLargeSize(QPushButton* button, bool large)
{
    // The platform's bordered buttons leave room around their label.
    const int textWidth = button->fontMetrics().horizontalAdvance(button->text());
    button->setMinimumWidth(textWidth + (large ? 32 : 24));
    button->setMinimumHeight(large ? 30 : 26);
    if (!large)
        return;
    QFont font = button->font();
    font.setPointSizeF(font.pointSizeF() * 1.08);
    button->setFont(font);
}

} // namespace

QColor OnboardingStyle::toneColor(const QPalette& palette, Tone tone)
{
    const QColor text = palette.color(QPalette::WindowText);
    switch (tone) {
    case Tone::primary: return text;
    case Tone::secondary: return mix(text, palette.color(QPalette::Window), 0.45);
    case Tone::tertiary: return mix(text, palette.color(QPalette::Window), 0.7);
    }
    return text;
}

void OnboardingStyle::followPalette(QWidget* widget, std::function<void(QWidget*, const QPalette&)> apply)
{
    PaletteFollower::follow(widget,
                            [widget, apply = std::move(apply)] { apply(widget, inheritedPalette(widget)); });
}

void OnboardingStyle::setTone(QWidget* widget, Tone tone)
{
    if (tone == Tone::primary)
        return; // the inherited text colour already is the primary one
    followPalette(widget, [tone](QWidget* w, const QPalette& inherited) {
        setTextColors(w, toneColor(inherited, tone));
    });
}

QLabel* OnboardingStyle::label(const QString& text, const QFont& font, Tone tone, QWidget* parent,
                               const char* objectName, Qt::Alignment alignment, bool wrap, bool richText)
{
    auto* result = new QLabel(parent);
    result->setTextFormat(richText ? Qt::RichText : Qt::PlainText);
    result->setText(text);
    if (objectName)
        result->setObjectName(QString::fromLatin1(objectName));
    result->setFont(font);
    result->setAlignment(alignment);
    result->setWordWrap(wrap);
    if (wrap)
        new WrapHeightKeeper(result);
    setTone(result, tone);
    return result;
}

QLabel* OnboardingStyle::coloredLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent,
                                      const char* objectName)
{
    auto* result = label(text, font, Tone::primary, parent, objectName);
    setTextColors(result, color);
    return result;
}

QLabel* OnboardingStyle::symbol(const QString& name, int size, const QColor& color, QWidget* parent, Tone tone,
                                const char* objectName)
{
    auto* result = new QLabel(parent);
    if (objectName)
        result->setObjectName(QString::fromLatin1(objectName));
    result->setFixedSize(size, size);
    result->setAlignment(Qt::AlignCenter);
    if (color.isValid()) {
        result->setPixmap(SymbolIcons::pixmap(name, size, color, 2.0));
        return result;
    }
    followPalette(result, [name, size, tone](QWidget* w, const QPalette& inherited) {
        static_cast<QLabel*>(w)->setPixmap(SymbolIcons::pixmap(name, size, toneColor(inherited, tone), 2.0));
    });
    return result;
}

QPushButton* OnboardingStyle::button(const QString& text, const char* objectName, QWidget* parent, bool large)
{
    auto* result = new QPushButton(text, parent);
    result->setObjectName(QString::fromLatin1(objectName));
    result->setAutoDefault(false);
    applyLargeSize(result, large);
    return result;
}

QPushButton* OnboardingStyle::prominentButton(const QString& text, const char* objectName, QWidget* parent,
                                              bool large)
{
    auto* result = button(text, objectName, parent, large);
    followPalette(result, [](QWidget* w, const QPalette& inherited) {
        QPalette palette = w->palette();
        const QColor accent = inherited.color(QPalette::Highlight);
        const QColor onAccent = inherited.color(QPalette::HighlightedText);
        // The accent is often the same in Light and Dark while the disabled colours are not, so
        // every group is compared before deciding there is nothing new.
        const QColor disabledButton = inherited.color(QPalette::Disabled, QPalette::Button);
        const QColor disabledText = inherited.color(QPalette::Disabled, QPalette::ButtonText);
        if (palette.color(QPalette::Active, QPalette::Button) == accent
            && palette.color(QPalette::Active, QPalette::ButtonText) == onAccent
            && palette.color(QPalette::Inactive, QPalette::Button) == accent
            && palette.color(QPalette::Inactive, QPalette::ButtonText) == onAccent
            && palette.color(QPalette::Disabled, QPalette::Button) == disabledButton
            && palette.color(QPalette::Disabled, QPalette::ButtonText) == disabledText)
            return;
        // A disabled button keeps the plain look, so it reads as disabled.
        for (const auto group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::Button, accent);
            palette.setColor(group, QPalette::ButtonText, onAccent);
        }
        palette.setColor(QPalette::Disabled, QPalette::Button, disabledButton);
        palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabledText);
        w->setPalette(palette);
    });
    return result;
}

QPushButton* OnboardingStyle::linkButton(const QString& text, const char* objectName, QWidget* parent, bool large)
{
    auto* result = button(text, objectName, parent, large);
    result->setFlat(true);
    result->setCursor(Qt::PointingHandCursor);
    setTone(result, Tone::secondary);
    return result;
}

QFont OnboardingStyle::sizedFont(qreal points, QFont::Weight weight)
{
    QFont result = TextStyles::font(TextStyles::Style::body, weight);
    result.setPointSizeF(result.pointSizeF() * points / 13.0);
    return result;
}

} // namespace norvelle
