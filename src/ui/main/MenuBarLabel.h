#pragma once

#include <QString>

namespace norvelle {

// What the menu-bar extra shows as its label, worked out from three values: nothing before the
// welcome tour is completed; a progress indicator while a discovery or update check started
// through the sidebar view model runs; else the "arrow.up" symbol with the number of
// applications that have an update and are not ignored, or the symbol alone, dimmed, when
// there is none.
struct MenuBarLabel {
    enum class Kind { empty, progress, count, idle };

    Kind kind = Kind::empty;
    int count = 0;

    static MenuBarLabel from(bool hasCompletedWelcomeTour, bool isBusy, int updateCount);

    // The count in decimal beside the symbol; empty unless the kind is `count`.
    QString text() const;
    // The symbol's opacity: 0.5 when idle, else 1.
    qreal opacity() const { return kind == Kind::idle ? 0.5 : 1.0; }
    bool showsSymbol() const { return kind == Kind::count || kind == Kind::idle; }

    friend bool operator==(const MenuBarLabel&, const MenuBarLabel&) = default;
};

} // namespace norvelle
