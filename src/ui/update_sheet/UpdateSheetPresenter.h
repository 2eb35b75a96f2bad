#pragma once

#include "model/Application.h"
#include "ui/update_sheet/UpdateSheetView.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <memory>

class QWidget;

namespace norvelle {

class ApplicationStore;
class DetailViewModel;
class SidebarViewModel;
class UpdateBatchSession;

// Opens the batch-update sheet over `window` while SidebarViewModel::showUpdateSheet is true,
// with the store's applications that have an update and are not ignored, split into the batch
// and those whose Homebrew update needs a password. Closing the sheet clears the flag. While a
// batch runs the presenter keeps it, so a sheet opened again shows that batch, not a new review.
class UpdateSheetPresenter : public QObject {
    Q_OBJECT

public:
    using ApplicationList = QList<std::shared_ptr<Application>>;
    struct Split {
        ApplicationList applications;
        ApplicationList sudoRequiredApps;
    };

    // All four must outlive the presenter.
    UpdateSheetPresenter(SidebarViewModel& sidebarViewModel, DetailViewModel& detailViewModel,
                         ApplicationStore& store, QWidget* window, QObject* parent = nullptr);

    // Null while no sheet is open.
    UpdateSheetView* sheet() const { return m_sheet; }
    static Split split(const ApplicationList& applications);

private:
    void showChanged(bool show);

    SidebarViewModel& m_sidebarViewModel;
    DetailViewModel& m_detailViewModel;
    ApplicationStore& m_store;
    QPointer<QWidget> m_window;
    QPointer<UpdateSheetView> m_sheet;
    std::shared_ptr<UpdateBatchSession> m_session;
};

} // namespace norvelle
