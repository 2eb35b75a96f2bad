#pragma once

#include "ui/main/ViewEnvironment.h"
#include "ui/onboarding/InstallSourcesSheetView.h"

#include <QObject>
#include <QPointer>

namespace norvelle {

class SidebarView;

// Opens the tool-installation sheet over the sidebar's window when the sidebar asks for it,
// for the tools missing in the store's environment status, and lowers the request when the
// sheet closes. While no status is known the request is dropped: there is nothing to say yet.
class InstallSourcesSheetPresenter : public QObject {
    Q_OBJECT

public:
    InstallSourcesSheetPresenter(SidebarView& sidebar, const ViewEnvironment& environment);

    // Null while no sheet is open.
    InstallSourcesSheetView* sheet() const { return m_sheet; }

private:
    void showChanged(bool show);

    SidebarView& m_sidebar;
    ViewEnvironment m_env;
    QPointer<InstallSourcesSheetView> m_sheet;
};

} // namespace norvelle
