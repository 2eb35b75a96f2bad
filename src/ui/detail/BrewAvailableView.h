#pragma once

#include "model/AdoptionProgress.h"
#include "model/Application.h"
#include "util/ObserverToken.h"

#include <QFuture>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace norvelle {

class AdoptionProgressView;
class AppState;
class BrewManualActionView;
class Card;
class DetailViewModel;
class SettingsViewModel;
class UrlOpener;

// "Homebrew Available": for an installed application a Homebrew cask can take over. Explains
// adoption (warning App Store applications), presents the cask with its password badge,
// deprecation notice, warnings, description and homepage, offers "Adopt" (or "Permission
// Required"), hands password-requiring casks to the Terminal fallback, and shows the adoption's
// progress while one of this application runs or has ended. It starts no work of its own.
class BrewAvailableView : public QWidget {
    Q_OBJECT

public:
    struct Inputs {
        bool isAdopting = false;
        std::optional<AdoptionProgress> adoptionProgress; // only this application's
    };

    static QString explanation(const QList<Application::Source>& sources);
    // Whether the adopt button shows for these facts.
    static bool showsAdoptButton(const Cask& cask, const Inputs& inputs);

    // `urlOpener` may be null (the homepage opens nothing); the others must outlive the panel.
    BrewAvailableView(std::shared_ptr<Application> application, Inputs inputs, std::function<void()> onAdopt,
                      std::function<QFuture<void>()> onRefreshApp, AppState& appState,
                      SettingsViewModel& settingsViewModel, DetailViewModel& viewModel, UrlOpener* urlOpener,
                      QWidget* parent = nullptr);
    ~BrewAvailableView() override;

    void setInputs(Inputs inputs);
    AdoptionProgressView* progressView() const { return m_progressView; }
    BrewManualActionView* terminalFallback() const { return m_terminalFallback; }

Q_SIGNALS:
    // Asks for the window with this id ("settings") to be opened or brought forward.
    void openWindowRequested(const QString& id);
    // The adoption progress panel has just appeared; the pane brings it into view.
    void panelShown(QWidget* panel);

private:
    void sync();
    void rebuildCask();
    void applyColors();
    void adoptClicked();

    std::shared_ptr<Application> m_application;
    Inputs m_inputs;
    std::function<void()> m_onAdopt;
    std::function<QFuture<void>()> m_onRefreshApp;
    AppState& m_appState;
    SettingsViewModel& m_settingsViewModel;
    DetailViewModel& m_viewModel;
    UrlOpener* m_urlOpener;
    std::optional<Cask> m_shownCask;

    QLabel* m_title = nullptr;
    QLabel* m_explanation = nullptr;
    Card* m_card = nullptr;
    QWidget* m_caskSection = nullptr;
    QPushButton* m_adopt = nullptr;
    AdoptionProgressView* m_progressView = nullptr;
    BrewManualActionView* m_terminalFallback = nullptr;
    QVBoxLayout* m_layout = nullptr;
    ObserverToken m_observer; // last member: unregistered before the widgets go
};

} // namespace norvelle
