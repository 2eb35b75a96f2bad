#pragma once

namespace norvelle {

class AppState;
class ApplicationStore;
class Clipboard;
class ContentViewModel;
class DetailViewModel;
class SettingsStore;
class SettingsViewModel;
class SidebarViewModel;
class UrlOpener;
class WelcomeTourViewModel;

// The long-lived objects the main window's views read, one per type, all owned by the
// composition root and outliving every view.
struct ViewEnvironment {
    AppState& appState;
    ApplicationStore& store;
    ContentViewModel& contentViewModel;
    SidebarViewModel& sidebarViewModel;
    DetailViewModel& detailViewModel;
    SettingsViewModel& settingsViewModel;
    SettingsStore& settings;
    // Null where a screen has nothing to open, copy or tour with (the tests of other screens):
    // links then open nothing, copies reach no clipboard, and the window shows a bare start page.
    WelcomeTourViewModel* welcomeTourViewModel = nullptr;
    UrlOpener* urlOpener = nullptr;
    Clipboard* clipboard = nullptr;
};

} // namespace norvelle
