#include "ui/detail/PanelActions.h"

#include "ui/detail/TerminalAlert.h"
#include "viewmodels/DetailViewModel.h"

#include <QFutureWatcher>
#include <QMessageBox>
#include <QWidget>

namespace norvelle::PanelActions {

void refresh(QObject* context, const std::function<QFuture<void>()>& refresh,
             const std::function<void(bool)>& setRefreshing)
{
    if (!refresh)
        return;
    setRefreshing(true);
    auto* watcher = new QFutureWatcher<void>(context);
    QObject::connect(watcher, &QFutureWatcher<void>::finished, context, [watcher, setRefreshing] {
        watcher->deleteLater();
        setRefreshing(false);
    });
    watcher->setFuture(refresh());
}

void runInTerminal(QWidget* parent, QPointer<QMessageBox>& alert, DetailViewModel& viewModel,
                   const QString& alertTitle, const QString& alertMessage,
                   const std::function<QString()>& command)
{
    if (command().isEmpty())
        return;
    if (viewModel.suppressTerminalAlert()) {
        TerminalAlert::run(parent, viewModel, command());
        return;
    }
    if (alert)
        return;
    alert = TerminalAlert::open(parent, alertTitle, alertMessage, viewModel, [parent, &viewModel, command] {
        const QString line = command();
        if (!line.isEmpty())
            TerminalAlert::run(parent, viewModel, line);
    });
}

void keepFocusIn(QWidget* holder, QWidget* control, bool staysUsable)
{
    if (!staysUsable && control->window()->focusWidget() == control)
        holder->setFocus(Qt::OtherFocusReason);
}

} // namespace norvelle::PanelActions
