#include "ui/update_sheet/UpdateSheetPresenter.h"

#include "services/ApplicationStore.h"
#include "ui/update_sheet/UpdateBatchSession.h"
#include "ui/update_sheet/UpdateSheetView.h"
#include "viewmodels/SidebarViewModel.h"

namespace norvelle {

UpdateSheetPresenter::UpdateSheetPresenter(SidebarViewModel& sidebarViewModel, DetailViewModel& detailViewModel,
                                           ApplicationStore& store, QWidget* window, QObject* parent)
    : QObject(parent), m_sidebarViewModel(sidebarViewModel), m_detailViewModel(detailViewModel), m_store(store),
      m_window(window)
{
    connect(&m_sidebarViewModel, &SidebarViewModel::showUpdateSheetChanged, this, &UpdateSheetPresenter::showChanged);
    if (m_sidebarViewModel.showUpdateSheet())
        showChanged(true);
}

UpdateSheetPresenter::Split UpdateSheetPresenter::split(const ApplicationList& applications)
{
    Split result;
    for (const auto& app : applications) {
        if (!app || !app->update() || app->ignored())
            continue;
        const auto cask = app->cask();
        const bool sudo =
            app->source().contains(Application::Source::homebrew) && cask && cask->requiresSudo;
        (sudo ? result.sudoRequiredApps : result.applications).append(app);
    }
    return result;
}

void UpdateSheetPresenter::showChanged(bool show)
{
    if (!show) {
        if (m_sheet)
            m_sheet->dismiss();
        return;
    }
    if (m_sheet)
        return;
    if (!m_session || !m_session->isProcessing()) {
        const Split lists = split(m_store.applications());
        m_session = std::make_shared<UpdateBatchSession>(lists.applications, lists.sudoRequiredApps,
                                                         m_sidebarViewModel.coordinator(), m_detailViewModel, m_store);
    }
    m_sheet = new UpdateSheetView(m_session, m_sidebarViewModel, m_detailViewModel, m_store, m_window);
    m_sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_sheet, &QDialog::finished, this, [this] { m_sidebarViewModel.setShowUpdateSheet(false); });
    m_sheet->open();
}

} // namespace norvelle
