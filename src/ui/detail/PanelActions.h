#pragma once

#include <QFuture>
#include <QPointer>
#include <QString>
#include <functional>

class QMessageBox;
class QObject;
class QWidget;

namespace norvelle {

class DetailViewModel;

// What the Homebrew panels' "Refresh" and run buttons do, alike in each panel.
namespace PanelActions {

// Calls `setRefreshing(true)`, starts `refresh`, and `setRefreshing(false)` when its future
// finishes. The wait belongs to `context`: a refresh that outlives it touches nothing.
void refresh(QObject* context, const std::function<QFuture<void>()>& refresh,
             const std::function<void(bool)>& setRefreshing);

// Hands `command()` to the terminal: at once when the user chose not to be asked, else after the
// alert kept in `alert` (one at a time). The command is built again after the alert, since the
// cask may have changed while it was open; an empty command runs nothing. When no terminal takes
// the command, an alert over the window says so and offers it to copy.
void runInTerminal(QWidget* parent, QPointer<QMessageBox>& alert, DetailViewModel& viewModel,
                   const QString& alertTitle, const QString& alertMessage,
                   const std::function<QString()>& command);

// Call before `control` goes disabled or hidden. Qt hands the focus of such a control to the next
// one in the pane, and the pane's scroll area follows it, far from the click; a control that will
// not stay usable leaves its focus with `holder` instead.
void keepFocusIn(QWidget* holder, QWidget* control, bool staysUsable);

} // namespace PanelActions

} // namespace norvelle
