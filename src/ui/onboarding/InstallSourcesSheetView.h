#pragma once

#include "ui/onboarding/InstallSourcesRules.h"

#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <chrono>
#include <optional>


class QPushButton;
class QVBoxLayout;

namespace norvelle {

class ApplicationStore;
class Clipboard;
class CopyFlag;
class DetailViewModel;
class SidebarViewModel;
class UrlOpener;

// The pauses of the sheet's refresh: before the check, and after it before the page returns.
struct InstallSourcesSheetTiming {
    std::chrono::milliseconds settle{500};
    std::chrono::milliseconds linger{300};
};

// The sheet that helps install a missing Homebrew or mas: what each tool brings, its install
// command to copy or to run in Terminal (after a confirmation the user can turn off for the
// run), and "Refresh", which checks the machine again. When the check finds both tools after
// one was missing, the sheet shows "All Tools Installed!" and the applications are discovered
// again and checked for updates.
class InstallSourcesSheetView : public QDialog {
    Q_OBJECT

public:
    using CommandType = InstallSourcesRules::CommandType;

    using Timing = InstallSourcesSheetTiming;

    // The view models, the store and the platform seams must outlive the sheet's refreshes
    // (they are the application's long-lived objects); null seams do nothing.
    InstallSourcesSheetView(bool missingBrew, bool missingMAS, SidebarViewModel& sidebarViewModel,
                            DetailViewModel& detailViewModel, ApplicationStore& store, UrlOpener* urlOpener,
                            Clipboard* clipboard, QWidget* parent = nullptr, Timing timing = {});

    bool currentMissingBrew() const { return m_currentMissingBrew; }
    bool currentMissingMAS() const { return m_currentMissingMAS; }
    bool isRefreshingEnvironment() const { return m_isRefreshingEnvironment; }
    InstallSourcesRules::Page page() const;
    std::optional<QString> pendingCommand() const { return m_pendingCommand; }
    // The open Terminal confirmation, if any.
    QMessageBox* terminalAlert() const { return m_alert; }

    void openInTerminal(const QString& commandLine, CommandType type);
    void runPendingCommand();
    void refreshEnvironment();

private:
    void rebuild();
    QWidget* buildMainContent();
    void setIsRefreshingEnvironment(bool value);
    void showTerminalAlert();

    SidebarViewModel& m_sidebarViewModel;
    DetailViewModel& m_detailViewModel;
    ApplicationStore& m_store;
    UrlOpener* m_urlOpener;
    Clipboard* m_clipboard;
    const Timing m_timing;
    CopyFlag* m_didCopyBrew;
    CopyFlag* m_didCopyMAS;
    bool m_isRefreshingEnvironment = false;
    bool m_currentMissingBrew;
    bool m_currentMissingMAS;
    std::optional<QString> m_pendingCommand;
    CommandType m_pendingCommandType = CommandType::brew;
    QVBoxLayout* m_root = nullptr;
    QWidget* m_body = nullptr;
    QPointer<QMessageBox> m_alert;
};

} // namespace norvelle
