#pragma once

#include "model/Theme.h"

#include <QPalette>
#include <QString>
#include <optional>

namespace norvelle {

// How the stored "selectedTheme" turns into the settings window's look.
class SettingsAppearance {
public:
    // Theme::light for "Light", Theme::dark for "Dark"; none (follow the system) for
    // "Automatic" and any other text.
    static std::optional<Theme> colorSchemeOverride(const QString& storedTheme);
    // A complete palette for a forced light or dark look.
    static QPalette palette(Theme scheme);
    // Whether the application's own (system-given) palette is a dark one.
    static bool isDark(const QPalette& palette);
    static bool applicationIsDark();
};

} // namespace norvelle
