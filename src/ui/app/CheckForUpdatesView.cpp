#include "ui/app/CheckForUpdatesView.h"

#include "viewmodels/CheckForUpdatesViewModel.h"

namespace norvelle {

CheckForUpdatesView::CheckForUpdatesView(CheckForUpdatesViewModel& viewModel, QObject* parent)
    : QAction(QStringLiteral("Check for Updates…"), parent)
{
    setObjectName(QStringLiteral("actionCheckForUpdates"));
    // On a Mac, Qt moves it into the application menu, beside "Settings...".
    setMenuRole(QAction::ApplicationSpecificRole);
    setEnabled(viewModel.canCheckForUpdates());
    connect(&viewModel, &CheckForUpdatesViewModel::canCheckForUpdatesChanged, this, &QAction::setEnabled);
    CheckForUpdatesViewModel* model = &viewModel;
    connect(this, &QAction::triggered, model, [model] { model->checkForUpdates(); });
}

} // namespace norvelle
