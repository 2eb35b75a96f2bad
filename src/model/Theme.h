#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <optional>

namespace norvelle {

// The user's appearance choice, stored under "selectedTheme" as its raw value.
// The raw value is also the case's identity and the label the picker shows.
enum class Theme { system, light, dark };

// "Automatic", "Light", "Dark".
QString toRawValue(Theme theme);
// Exact, case-sensitive match only.
std::optional<Theme> themeFromRawValue(const QString& rawValue);
// system, light, dark: the order in which the picker lists them.
QList<Theme> allThemeCases();
inline QString themeId(Theme theme)
{
    return toRawValue(theme);
}
// How every reader of the stored setting interprets it: unknown text means system.
Theme themeFromSetting(const QString& storedText);

size_t qHash(Theme theme, size_t seed = 0);

} // namespace norvelle

Q_DECLARE_METATYPE(norvelle::Theme)
