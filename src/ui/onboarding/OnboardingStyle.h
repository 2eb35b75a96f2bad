#pragma once

#include "ui/main/components/TextStyles.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>
#include <functional>

class QLabel;
class QPushButton;
class QWidget;

namespace norvelle {

// Shared look of the onboarding screens. Every colour that depends on the appearance is taken
// from the palette the widget inherits, again whenever that palette changes, so a switch
// between light and dark recolours the screens in place.
class OnboardingStyle {
public:
    enum class Tone { primary, secondary, tertiary };

    // The text colours of a palette: its window text, and that text half-way (a quarter of the
    // way) to the window background.
    static QColor toneColor(const QPalette& palette, Tone tone);

    // Runs `apply` with the palette `widget` inherits now and after every change of it (a
    // theme switch, a new parent). `apply` may set the widget's own palette.
    static void followPalette(QWidget* widget, std::function<void(QWidget*, const QPalette&)> apply);

    // A label in `font` whose colour follows the palette in `tone`; plain text unless `richText`
    // (only for the product's own fixed texts). Word-wrapped when `wrap`.
    static QLabel* label(const QString& text, const QFont& font, Tone tone, QWidget* parent,
                         const char* objectName = nullptr, Qt::Alignment alignment = Qt::AlignLeft,
                         bool wrap = false, bool richText = false);
    // The same in a fixed colour (green, orange, …) that does not change with the appearance.
    static QLabel* coloredLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent,
                                const char* objectName = nullptr);
    static void setTone(QWidget* widget, Tone tone);

    // A symbol drawn `size` points high, in a fixed colour, or (invalid colour) in `tone`.
    static QLabel* symbol(const QString& name, int size, const QColor& color, QWidget* parent,
                          Tone tone = Tone::primary, const char* objectName = nullptr);

    // Buttons: bordered (the platform's push button), bordered prominent (accent filled) and
    // link style (flat, secondary text). `large` gives the large control size.
    static QPushButton* button(const QString& text, const char* objectName, QWidget* parent, bool large = false);
    static QPushButton* prominentButton(const QString& text, const char* objectName, QWidget* parent,
                                        bool large = false);
    static QPushButton* linkButton(const QString& text, const char* objectName, QWidget* parent, bool large = false);

    static QFont font(TextStyles::Style style, QFont::Weight weight = QFont::Normal)
    {
        return TextStyles::font(style, weight);
    }
    // A font of `points` macOS points (body text is 13), scaled like the text styles.
    static QFont sizedFont(qreal points, QFont::Weight weight = QFont::Normal);
};

} // namespace norvelle
