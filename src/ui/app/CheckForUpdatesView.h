#pragma once

#include <QAction>

namespace norvelle {

class CheckForUpdatesViewModel;

// The "Check for Updates…" item of the application menu: enabled exactly while the view model
// says the system's own updater can start a user-initiated check; choosing it starts one.
// Present and disabled in a build without an updater of its own.
class CheckForUpdatesView : public QAction {
    Q_OBJECT
public:
    // The view model must outlive the item.
    explicit CheckForUpdatesView(CheckForUpdatesViewModel& viewModel, QObject* parent = nullptr);
};

} // namespace norvelle
