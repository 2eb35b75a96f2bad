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
    const bool dark = scheme == Theme::dark;
    const QColor text = dark ? QColor(0xf5, 0xf5, 0xf7) : QColor(0x1d, 0x1d, 0x1f);
    const QColor window = dark ? QColor(0x25, 0x25, 0x27) : QColor(0xf5, 0xf5, 0xf7);
    const QColor disabled = dark ? QColor(0x76, 0x76, 0x7a) : QColor(0xa8, 0xa8, 0xad);
    QPalette palette(text, window);
    palette.setColor(QPalette::Base, dark ? QColor(0x1e, 0x1e, 0x20) : QColor(Qt::white));
    palette.setColor(QPalette::AlternateBase, dark ? QColor(0x2c, 0x2c, 0x2e) : QColor(0xf0, 0xf0, 0xf2));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, dark ? QColor(Qt::white) : QColor(Qt::black));
    palette.setColor(QPalette::Button, dark ? QColor(0x3a, 0x3a, 0x3c) : QColor(0xfb, 0xfb, 0xfd));
    palette.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, dark ? QColor(0x40, 0x9c, 0xff) : QColor(0x00, 0x66, 0xd6));
    palette.setColor(QPalette::LinkVisited, dark ? QColor(0xbf, 0x8c, 0xff) : QColor(0x8e, 0x44, 0xad));
    palette.setColor(QPalette::PlaceholderText, dark ? QColor(0x98, 0x98, 0x9d) : QColor(0x86, 0x86, 0x8b));
    palette.setColor(QPalette::ToolTipBase, dark ? QColor(0x3a, 0x3a, 0x3c) : QColor(0xff, 0xff, 0xf0));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Light, dark ? QColor(0x55, 0x55, 0x58) : QColor(Qt::white));
    palette.setColor(QPalette::Midlight, dark ? QColor(0x48, 0x48, 0x4a) : QColor(0xe5, 0xe5, 0xea));
    palette.setColor(QPalette::Mid, dark ? QColor(0x6e, 0x6e, 0x73) : QColor(0xb8, 0xb8, 0xbd));
    palette.setColor(QPalette::Dark, dark ? QColor(0x18, 0x18, 0x1a) : QColor(0x8e, 0x8e, 0x93));
    palette.setColor(QPalette::Shadow, Qt::black);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabled);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, dark ? QColor(0x48, 0x48, 0x4a) : QColor(0xd0, 0xd0, 0xd5));
    return palette;
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
