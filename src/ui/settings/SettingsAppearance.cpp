#include "ui/settings/SettingsAppearance.h"

#include <QApplication>
#include <QStyle>

namespace norvelle {

std::optional<Theme> SettingsAppearance::colorSchemeOverride(const QString& storedTheme)
{
    const Theme theme = themeFromSetting(storedTheme);
    if (theme == Theme::system)
        return std::nullopt;
    return theme;
}

QPalette SettingsAppearance::palette(Theme scheme)
{
    if (scheme != Theme::dark) {
        QPalette light(QColor(0x1d, 0x1d, 0x1f), QColor(0xf5, 0xf5, 0xf7));
        light.setColor(QPalette::Base, Qt::white);
        light.setColor(QPalette::AlternateBase, QColor(0xf0, 0xf0, 0xf2));
        light.setColor(QPalette::Text, QColor(0x1d, 0x1d, 0x1f));
        light.setColor(QPalette::ButtonText, QColor(0x1d, 0x1d, 0x1f));
        light.setColor(QPalette::Button, QColor(0xfb, 0xfb, 0xfd));
        light.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
        light.setColor(QPalette::HighlightedText, Qt::white);
        light.setColor(QPalette::PlaceholderText, QColor(0x86, 0x86, 0x8b));
        return light;
    }
    QPalette dark(QColor(0xf5, 0xf5, 0xf7), QColor(0x25, 0x25, 0x27));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x20));
    dark.setColor(QPalette::AlternateBase, QColor(0x2c, 0x2c, 0x2e));
    dark.setColor(QPalette::Text, QColor(0xf5, 0xf5, 0xf7));
    dark.setColor(QPalette::ButtonText, QColor(0xf5, 0xf5, 0xf7));
    dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3c));
    dark.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::PlaceholderText, QColor(0x98, 0x98, 0x9d));
    dark.setColor(QPalette::Light, QColor(0x55, 0x55, 0x58));
    dark.setColor(QPalette::Midlight, QColor(0x48, 0x48, 0x4a));
    dark.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x32));
    dark.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x1a));
    dark.setColor(QPalette::Shadow, Qt::black);
    return dark;
}

bool SettingsAppearance::isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

bool SettingsAppearance::applicationIsDark()
{
    return isDark(QApplication::palette());
}

} // namespace norvelle
