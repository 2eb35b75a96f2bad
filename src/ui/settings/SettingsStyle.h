#pragma once

class QLabel;
class QString;
class QWidget;

namespace norvelle {

// The few text styles the settings pages share. Sizes are relative to the application font so
// they follow the desktop's choice; "secondary" text is the window text drawn at reduced opacity,
// so it follows a forced light or dark palette without being repainted by hand.
class SettingsStyle {
public:
    // A plain-text label (nothing shown here is ever interpreted as markup).
    static QLabel* label(const QString& text, const char* objectName, QWidget* parent = nullptr);

    static void pageTitle(QLabel* label);                          // medium weight, indented 12
    static void headline(QLabel* label);                           // bold
    static void subheadline(QLabel* label);                        // one point smaller, secondary, wrapping
    static void caption(QLabel* label);                            // two points smaller, primary, wrapping
    static void secondary(QWidget* widget);                        // reduced opacity
    static void pixelSize(QLabel* label, int pixels, bool medium); // a fixed size, as the design gives it

    static constexpr double secondaryOpacity = 0.6;
    static constexpr int pageTitleIndent = 12;
};

} // namespace norvelle
