#pragma once

#include "model/Theme.h"
#include "ui/settings/AboutView.h"
#include "viewmodels/SettingsViewModel.h"

#include <QVariantMap>
#include <QWidget>
#include <optional>

class QLabel;
class QListWidget;
class QVBoxLayout;

namespace norvelle {

class AppState;
class SettingsStore;

// The Settings window: a fixed 200-point list of the categories beside the selected category's
// page. The view model's selectedCategory is the one source of which page is shown, so the
// window reopens on the last choice and other screens may choose a page before opening it.
// The window forces a light or dark look while the stored theme says so.
class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int sidebarWidth = 200;
    static constexpr int defaultWidth = 700;
    static constexpr int defaultHeight = 350;

    // Every collaborator must outlive the window. `applicationInfo` feeds the About page.
    SettingsWindow(SettingsViewModel& viewModel, AppState& appState, SettingsStore& settings,
                   const QVariantMap& applicationInfo = AboutView::applicationInfo(),
                   QWidget* parent = nullptr);

    // The page on show (one of PreferencesView, ExperimentalView, PermissionsView, AboutView).
    QWidget* currentPage() const { return m_page; }
    QListWidget* categoryList() const { return m_categories; }
    // The line that says a setting could not be saved; hidden while none failed.
    QLabel* saveFailureLabel() const { return m_saveFailure; }
    // The look forced on the window now: light, dark, or none (the system's).
    std::optional<Theme> colorSchemeOverride() const { return m_override; }
    // The symbol beside each category in the list.
    static QString symbolName(SettingsViewModel::SettingsCategory category);

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* buildSidebar();
    void showCategory(SettingsViewModel::SettingsCategory category);
    void chooseRow(int row);
    void applyAppearance();
    void showSaveFailure(const QString& text);
    void updateCategoryIcons();

    SettingsViewModel& m_viewModel;
    AppState& m_appState;
    SettingsStore& m_settings;
    QVariantMap m_applicationInfo;
    QListWidget* m_categories = nullptr;
    QVBoxLayout* m_detail = nullptr;
    QWidget* m_page = nullptr;
    QLabel* m_saveFailure = nullptr;
    std::optional<Theme> m_override;
};

} // namespace norvelle
