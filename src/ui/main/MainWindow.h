#pragma once

#include "model/Theme.h"
#include "ui/main/ViewEnvironment.h"

#include <QMainWindow>
#include <QPalette>

class QLabel;
class QStackedWidget;

namespace norvelle {

class ContentView;

// The main window: the welcome tour until it is completed, then the content (a fresh one each
// time the tour ends), in the appearance stored under "selectedTheme". Both follow their
// setting while the window is open.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const ViewEnvironment& environment, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The appearance the stored setting asks for: exact "Light" or "Dark", else the system's.
    static Theme preferredTheme(const QString& selectedTheme);
    static QPalette paletteFor(Theme theme, const QPalette& systemPalette);

    Theme appliedTheme() const { return m_appliedTheme; }
    // The content while the tour is completed, else null.
    ContentView* contentView() const { return m_content; }

Q_SIGNALS:
    // A view inside asks for the window with this id ("settings") to be opened or brought forward.
    void openWindowRequested(const QString& id);

private:
    void showRootContent();
    void applyTheme();

    ViewEnvironment m_env;
    QStackedWidget* m_stack = nullptr;
    QWidget* m_welcome = nullptr;
    ContentView* m_content = nullptr;
    Theme m_appliedTheme = Theme::system;
};

} // namespace norvelle
