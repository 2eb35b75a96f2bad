#pragma once

#include "model/UpdateProgress.h"
#include "util/ObserverToken.h"

#include <QColor>
#include <QFuture>
#include <QPointer>
#include <QWidget>
#include <functional>

class QMessageBox;

namespace norvelle {

class BrewCommandView;
class BrewOutputView;
class DetailViewModel;
class ProgressBanner;

// One application's update as a banner in the colour of its status: title, current step, a
// busy indicator while work is under way, and a bar with percentage and estimate while the
// fraction is strictly between 0 and 1. When a Homebrew update has failed, a command box under
// the banner offers the upgrade command: "Refresh" (only with a refresh action; "Checking..."
// while it runs), "View Logs" (only with captured brew output of a Homebrew application) and
// "Update", which runs the command in the terminal after the "Update App via Terminal?" alert
// (or at once once the user chose not to be asked again). It never changes the record it shows.
//
// Embedding (the detail header, the batch sheet's current and failed cards):
//   auto* panel = new UpdateProgressView(record, onRefreshApp, detailViewModel, parent);
//   panel->setProgress(newer);   // on every new record of the same update
// `onRefreshApp` may be empty (no "Refresh" button); the panel awaits the future it returns,
// and keeps "Checking..." until it finishes. The panel emits nothing: the terminal goes through
// DetailViewModel::executeInTerminal, which the view model must outlive the panel for. The
// log sheet and the alert are the panel's children and close with it.
class UpdateProgressView : public QWidget {
    Q_OBJECT

public:
    UpdateProgressView(const UpdateProgress& progress, std::function<QFuture<void>()> onRefreshApp,
                       DetailViewModel& viewModel, QWidget* parent = nullptr);
    ~UpdateProgressView() override;

    const UpdateProgress& progress() const { return m_progress; }
    void setProgress(const UpdateProgress& progress);

    bool isRefreshing() const { return m_isRefreshing; }
    // Null unless a failed update of an application with a cask is shown.
    BrewCommandView* commandBox() const { return m_commandBox; }
    // The open log sheet or alert, else null.
    BrewOutputView* brewOutputSheet() const;
    QMessageBox* terminalAlert() const;

    static QString statusTitle(UpdateProgress::Status status);
    static QColor statusColor(UpdateProgress::Status status);
    static bool showsSpinner(UpdateProgress::Status status);
    // The command a failed update offers for Terminal; empty without a cask or a valid token.
    static QString updateCommand(const UpdateProgress& progress);
    // Which command-box buttons show, in order: "refresh", "logs", "update".
    static QStringList commandButtons(const UpdateProgress& progress, bool hasRefreshAction);

private:
    void sync();
    void syncCommandBox();
    void observeApplication();
    void refresh();
    void runUpdate();
    void showBrewOutput();

    UpdateProgress m_progress;
    std::function<QFuture<void>()> m_onRefreshApp;
    DetailViewModel& m_viewModel;
    bool m_isRefreshing = false;
    ProgressBanner* m_banner = nullptr;
    BrewCommandView* m_commandBox = nullptr;
    QPointer<BrewOutputView> m_outputSheet;
    QPointer<QMessageBox> m_alert;
    ObserverToken m_observer; // last member: unregistered before the widgets go
};

} // namespace norvelle
