#include "ui/onboarding/InstallSourcesSheetPresenter.h"

#include "services/ApplicationStore.h"
#include "ui/main/SidebarView.h"
#include "ui/onboarding/InstallSourcesSheetView.h"

namespace norvelle {

InstallSourcesSheetPresenter::InstallSourcesSheetPresenter(SidebarView& sidebar, const ViewEnvironment& environment)
    : QObject(&sidebar), m_sidebar(sidebar), m_env(environment)
{
    connect(&sidebar, &SidebarView::showInstallSourcesSheetChanged, this, &InstallSourcesSheetPresenter::showChanged);
}

void InstallSourcesSheetPresenter::showChanged(bool show)
{
    if (!show) {
        if (m_sheet)
            m_sheet->close();
        return;
    }
    if (m_sheet)
        return;
    const auto status = m_env.store.environmentStatus();
    if (!status) {
        m_sidebar.setShowInstallSourcesSheet(false);
        return;
    }
    auto* sheet = new InstallSourcesSheetView(!status->hasHomebrew, !status->hasMAS, m_env.sidebarViewModel,
                                              m_env.detailViewModel, m_env.store, m_env.urlOpener, m_env.clipboard,
                                              m_sidebar.window());
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, [this] {
        m_sheet = nullptr; // it deletes itself once this event is over
        m_sidebar.setShowInstallSourcesSheet(false);
    });
    m_sheet = sheet;
    sheet->open();
}

} // namespace norvelle
