#pragma once

#include "ui/detail/DetailRules.h"
#include "util/ObserverToken.h"

#include <QFuture>
#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace norvelle {

class AppState;
class BrewManualActionView;
class DetailViewModel;
class ElidingLabel;
class RefreshProgressView;
class SettingsViewModel;
class SkippedVersionView;
class UpdateProgressView;

// The top of the detail pane: icon, name and versions of the selected application, its
// update / skip / ignore buttons and the status notices that belong to it now. Clicks go to
// the callbacks the pane gives; "Permission Required" switches the settings to their
// permissions page and asks for the settings window.
class SelectedApplicationDetailsView : public QWidget {
    Q_OBJECT

public:
    struct Callbacks {
        std::function<void()> onIgnore;
        std::function<void()> onUpdate;
        std::function<void()> onSkipVersion;
        std::function<void()> onUnskipVersion;
        std::function<QFuture<void>()> onRefreshApp; // may be empty
    };

    static constexpr int iconSize = 110;

    SelectedApplicationDetailsView(std::shared_ptr<Application> application, AppState& appState,
                                   DetailViewModel& viewModel, SettingsViewModel& settingsViewModel,
                                   Callbacks callbacks, QWidget* parent = nullptr);
    ~SelectedApplicationDetailsView() override;

    void setInputs(const DetailRules::HeaderInputs& inputs);
    // What the header shows now.
    const DetailRules::Header& state() const { return m_state; }
    // Null while no update progress shows.
    UpdateProgressView* progressView() const { return m_progressView; }
    // Null while the refresh banner or the Terminal fallback is not shown.
    RefreshProgressView* refreshView() const { return m_refreshView; }
    BrewManualActionView* terminalFallback() const { return m_terminalFallback; }
    const std::shared_ptr<Application>& application() const { return m_application; }

Q_SIGNALS:
    // Asks for the window with this id ("settings") to be opened or brought forward.
    void openWindowRequested(const QString& id);
    // A refresh or update progress panel has just appeared; the pane brings it into view.
    void panelShown(QWidget* panel);

private:
    void sync();
    void primaryClicked();

    std::shared_ptr<Application> m_application;
    AppState& m_appState;
    DetailViewModel& m_viewModel;
    SettingsViewModel& m_settingsViewModel;
    Callbacks m_callbacks;
    DetailRules::HeaderInputs m_inputs;
    DetailRules::Header m_state;

    ElidingLabel* m_name = nullptr;
    ElidingLabel* m_currentVersion = nullptr;
    QLabel* m_arrow = nullptr;
    ElidingLabel* m_latestVersion = nullptr;
    QPushButton* m_primary = nullptr;
    QPushButton* m_skip = nullptr;
    QPushButton* m_ignore = nullptr;
    SkippedVersionView* m_skipped = nullptr;
    UpdateProgressView* m_progressView = nullptr;
    RefreshProgressView* m_refreshView = nullptr;
    BrewManualActionView* m_terminalFallback = nullptr;
    QWidget* m_divider = nullptr;
    QVBoxLayout* m_layout = nullptr;
    ObserverToken m_observer; // last member: unregistered before the widgets go
};

} // namespace norvelle
