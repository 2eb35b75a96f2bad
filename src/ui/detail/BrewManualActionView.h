#pragma once

#include "model/Application.h"
#include "util/ObserverToken.h"
#include "viewmodels/DetailViewModel.h"

#include <QFuture>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QMessageBox;

namespace norvelle {

class BrewCommandView;
class Card;

// For a cask whose Homebrew commands need the administrator password: a card saying so, the
// exact `brew` command in a command box, "Refresh" (with a refresh action; "Checking..." while
// it runs) and "Update" or "Adopt", which hands the command to the terminal after asking (unless
// the user chose not to be asked again). The panel never runs `brew` itself.
class BrewManualActionView : public QWidget {
    Q_OBJECT

public:
    struct Texts {
        QString heading;
        QString explanation;
        QString instruction;
        QString runTitle;
        QString alertTitle;
        QString alertMessage;
    };
    static Texts texts(DetailViewModel::ActionType actionType);
    // The command line offered; empty without a cask or with an invalid cask name.
    static QString command(DetailViewModel::ActionType actionType, const std::optional<Cask>& cask);

    BrewManualActionView(std::shared_ptr<Application> application, DetailViewModel::ActionType actionType,
                         std::function<QFuture<void>()> onRefreshApp, DetailViewModel& viewModel,
                         QWidget* parent = nullptr);
    ~BrewManualActionView() override;

    bool isRefreshing() const { return m_isRefreshing; }
    BrewCommandView* commandBox() const { return m_commandBox; }
    QMessageBox* terminalAlert() const;

private:
    void sync();
    void applyColors();
    void refresh();
    void run();
    QString currentCommand() const;

    std::shared_ptr<Application> m_application;
    DetailViewModel::ActionType m_actionType;
    std::function<QFuture<void>()> m_onRefreshApp;
    DetailViewModel& m_viewModel;
    bool m_isRefreshing = false;
    Card* m_card = nullptr;
    QLabel* m_heading = nullptr;
    QLabel* m_explanation = nullptr;
    BrewCommandView* m_commandBox = nullptr;
    QPointer<QMessageBox> m_alert;
    ObserverToken m_observer; // last member: unregistered before the widgets go
};

} // namespace norvelle
