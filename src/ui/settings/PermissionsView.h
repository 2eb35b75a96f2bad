#pragma once

#include <QWidget>

class QCheckBox;
class QPushButton;

namespace norvelle {

class AppState;

// The App Management permission page, also shown inside the welcome tour. The switch records
// what the user says about the permission (nothing asks the system); while it is off the page
// adds a warning with a way to the system's settings and the steps to grant the permission.
class PermissionsView : public QWidget {
    Q_OBJECT

public:
    // `appState` must outlive the page.
    explicit PermissionsView(AppState& appState, QWidget* parent = nullptr);

    QCheckBox* appManagementToggle() const { return m_toggle; }
    QPushButton* settingsButton() const { return m_settingsButton; }
    QWidget* warningRow() const { return m_warningRow; }
    QWidget* instructions() const { return m_instructions; }

private:
    QWidget* buildWarningRow(QWidget* parent);
    QWidget* buildInstructions(QWidget* parent);
    void showPermission(bool granted);

    AppState& m_appState;
    QCheckBox* m_toggle = nullptr;
    QPushButton* m_settingsButton = nullptr;
    QWidget* m_warningRow = nullptr;
    QWidget* m_instructions = nullptr;
};

} // namespace norvelle
