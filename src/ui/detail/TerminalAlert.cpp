#include "ui/detail/TerminalAlert.h"

#include "ui/main/components/ActionFailureAlert.h"
#include "viewmodels/DetailViewModel.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

namespace norvelle {

QMessageBox* TerminalAlert::open(QWidget* parent, const QString& title, const QString& message,
                                 DetailViewModel& viewModel, std::function<void()> onOpen)
{
    auto* box = new QMessageBox(parent);
    box->setObjectName(QStringLiteral("terminalAlert"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setTextFormat(Qt::PlainText);
    box->setText(title);
    box->setInformativeText(message);
    QPushButton* cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("terminalAlertCancel"));
    QPushButton* run = box->addButton(QStringLiteral("Open Terminal"), QMessageBox::AcceptRole);
    run->setObjectName(QStringLiteral("terminalAlertOpen"));
    box->setDefaultButton(run);
    box->setEscapeButton(cancel);

    auto* suppress = new QCheckBox(QStringLiteral("Don't ask again"), box);
    suppress->setObjectName(QStringLiteral("terminalAlertSuppress"));
    suppress->setChecked(viewModel.suppressTerminalAlert());
    box->setCheckBox(suppress);
    QObject::connect(suppress, &QCheckBox::toggled, &viewModel, &DetailViewModel::setSuppressTerminalAlert);
    QObject::connect(&viewModel, &DetailViewModel::suppressTerminalAlertChanged, suppress,
                     &QCheckBox::setChecked);

    // The box is the parent's child: once the parent is gone, so is this connection.
    QObject::connect(run, &QPushButton::clicked, box, [onOpen = std::move(onOpen)] {
        if (onOpen)
            onOpen();
    });
    box->open();
    return box;
}

QDialog* TerminalAlert::run(QWidget* parent, DetailViewModel& viewModel, const QString& commandLine,
                            Clipboard* clipboard)
{
    const std::optional<TerminalLauncher::Result> result = viewModel.executeInTerminal(commandLine);
    if (!result || result->status == TerminalLauncher::Result::Status::launched)
        return nullptr;
    // On the window, not the panel: the detail pane may rebuild its panels while the alert is up.
    QWidget* owner = parent ? parent->window() : nullptr;
    return ActionFailureAlert::open(
        owner, ActionFailureAlert::terminalFailure(commandLine, result->errorDescription), clipboard);
}

} // namespace norvelle
