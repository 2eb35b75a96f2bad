#pragma once

namespace norvelle {

class AppState;
class ApplicationStore;
class ContentViewModel;
class DetailViewModel;
class SettingsStore;
class SettingsViewModel;
class SidebarViewModel;

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
};

} // namespace norvelle
