#include "ui/detail/BrewManualActionView.h"

#include "ui/detail/BrewCommandView.h"
#include "ui/main/components/PaletteFollower.h"
#include "ui/detail/PanelActions.h"
#include "ui/main/components/Card.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"
#include "util/Async.h"
#include "viewmodels/BrewCommandLine.h"

#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>

namespace norvelle {

using ActionType = DetailViewModel::ActionType;

BrewManualActionView::Texts BrewManualActionView::texts(ActionType actionType)
{
    // Each text is kept whole, as it is shown.
    // clang-format off
    if (actionType == ActionType::update)
        return {QStringLiteral("Password Required for Update"),
                QStringLiteral("Brew requires your password to update this app."),
                QStringLiteral("Click Update to run in Terminal, or copy and paste. Click Refresh when you're done."),
                QStringLiteral("Update"), QStringLiteral("Update in Terminal"),
                QStringLiteral("This will open Terminal and run the update command. You'll need to enter your password to complete the update.")};
    return {QStringLiteral("Password Required for Adoption"),
            QStringLiteral("Brew requires your password to adopt this cask."),
            QStringLiteral("Click Adopt to run in Terminal, or copy and paste. Click Refresh when you're done."),
            QStringLiteral("Adopt"), QStringLiteral("Adopt in Terminal"),
            QStringLiteral("This will open Terminal and run the adoption command. You'll need to enter your password to complete the adoption.")};
    // clang-format on
}

QString BrewManualActionView::command(ActionType actionType, const std::optional<Cask>& cask)
{
    return actionType == ActionType::update ? BrewCommandLine::upgrade(cask) : BrewCommandLine::adopt(cask);
}

BrewManualActionView::BrewManualActionView(std::shared_ptr<Application> application, ActionType actionType,
                                           std::function<QFuture<void>()> onRefreshApp,
                                           DetailViewModel& viewModel, QWidget* parent)
    : QWidget(parent), m_application(std::move(application)), m_actionType(actionType),
      m_onRefreshApp(std::move(onRefreshApp)), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("brewManualActionView"));
    const Texts t = texts(actionType);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(12);

    m_card = new Card(QColor(), std::nullopt, this);
    m_card->setObjectName(QStringLiteral("passwordRequiredCard"));
    m_heading = makePlainLabel(t.heading, TextStyles::font(TextStyles::Style::body, QFont::Medium), QColor(),
                               m_card, "passwordRequiredHeading");
    m_explanation = makePlainLabel(t.explanation, TextStyles::font(TextStyles::Style::subheadline), QColor(),
                                   m_card, "passwordRequiredExplanation");
    m_explanation->setWordWrap(true);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(m_heading);
    texts->addWidget(m_explanation);
    m_card->contentLayout()->addLayout(texts);
    outer->addWidget(m_card);

    m_commandBox = new BrewCommandView(currentCommand(), t.instruction, {}, nullptr, this);
    outer->addWidget(m_commandBox);

    QPointer<BrewManualActionView> self(this);
    m_observer = m_application->addObserver([self](Application::Field field) {
        if (field != Application::Field::cask)
            return;
        postToMain([self] {
            if (self)
                self->sync();
        });
    });
    sync();
    PaletteFollower::follow(this, [this] { applyColors(); });
}

BrewManualActionView::~BrewManualActionView() = default;

QMessageBox* BrewManualActionView::terminalAlert() const
{
    return m_alert;
}

QString BrewManualActionView::currentCommand() const
{
    return command(m_actionType, m_application->cask());
}

void BrewManualActionView::applyColors()
{
    m_card->setBackgroundColor(Card::tint(SystemColors::secondary(), false));
    setTextColor(m_heading, SystemColors::primary());
    setTextColor(m_explanation, SystemColors::secondary());
}

void BrewManualActionView::sync()
{
    const QString line = currentCommand();
    m_commandBox->setCommand(line);
    QList<BrewCommandView::ButtonConfig> buttons;
    if (m_onRefreshApp) {
        BrewCommandView::ButtonConfig refreshButton;
        refreshButton.title = m_isRefreshing ? QStringLiteral("Checking...") : QStringLiteral("Refresh");
        refreshButton.objectName = QStringLiteral("manualRefreshButton");
        refreshButton.action = [this] { refresh(); };
        buttons.append(std::move(refreshButton));
    }
    BrewCommandView::ButtonConfig runButton;
    runButton.title = texts(m_actionType).runTitle;
    runButton.objectName = QStringLiteral("manualRunButton");
    runButton.isProminent = true;
    runButton.enabled = !line.isEmpty();
    runButton.action = [this] { run(); };
    buttons.append(std::move(runButton));
    m_commandBox->setButtons(std::move(buttons));
}

void BrewManualActionView::refresh()
{
    PanelActions::refresh(this, m_onRefreshApp, [this](bool refreshing) {
        m_isRefreshing = refreshing;
        sync();
    });
}

void BrewManualActionView::run()
{
    const Texts t = texts(m_actionType);
    PanelActions::runInTerminal(this, m_alert, m_viewModel, t.alertTitle, t.alertMessage,
                                [this] { return currentCommand(); });
}

} // namespace norvelle
