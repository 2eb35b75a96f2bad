#pragma once

#include "model/Theme.h"

#include <QObject>
#include <QPalette>

namespace norvelle {

class SettingsStore;

// The appearance stored under "selectedTheme", applied to the whole application: the palette
// that every window, sheet, dialog, menu and tooltip inherits, at start and again whenever the
// setting changes. Widgets that paint their own colours read them from their palette when they
// paint, so a change reaches them through QEvent::PaletteChange.
class AppTheme : public QObject {
    Q_OBJECT
public:
    // Build it before the first window, on the main thread. `settings` must outlive it.
    explicit AppTheme(SettingsStore& settings, QObject* parent = nullptr);

    Theme appliedTheme() const { return m_applied; }
    // The platform's own palette, whatever we force: the appearance "Automatic" stands for.
    const QPalette& systemPalette() const { return m_systemPalette; }
    // The palette for a stored theme: the forced light or dark one, else `systemPalette`.
    static QPalette paletteFor(Theme theme, const QPalette& systemPalette);

Q_SIGNALS:
    void applied(norvelle::Theme theme);

private:
    void apply();

    SettingsStore& m_settings;
    // What the platform gave before we changed anything: what "Automatic" goes back to.
    QPalette m_systemPalette;
    Theme m_applied = Theme::system;
};

} // namespace norvelle
