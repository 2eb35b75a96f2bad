#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;

namespace norvelle {

class SettingsStore;
class SettingsViewModel;

// The Preferences page: the appearance theme and the Desktop log files switch. Both controls
// show what the store holds and follow it when anything else changes it; the theme choice goes
// through the view model, the log switch through the store and the logger.
class PreferencesView : public QWidget {
    Q_OBJECT

public:
    // The view model and the store must outlive the page.
    PreferencesView(SettingsViewModel& viewModel, SettingsStore& settings, QWidget* parent = nullptr);

    QComboBox* themePicker() const { return m_themePicker; }
    QCheckBox* desktopLogFilesToggle() const { return m_desktopLogFilesToggle; }

private:
    void showStoredTheme();
    void showStoredLogSwitch();
    void chooseTheme(int index);
    void setDesktopLogFiles(bool enabled);

    SettingsViewModel& m_viewModel;
    SettingsStore& m_settings;
    QComboBox* m_themePicker;
    QCheckBox* m_desktopLogFilesToggle;
};

} // namespace norvelle
