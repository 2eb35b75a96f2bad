#pragma once

#include "model/Application.h"
#include "model/Update.h"
#include "model/UpdateProgress.h"

#include <QFuture>
#include <QHash>
#include <QList>
#include <QUuid>
#include <QWidget>
#include <memory>
#include <vector>

class QVBoxLayout;

namespace norvelle {

class ApplicationStore;
class DetailViewModel;
class SheetRefreshPanel;

// The "Failed" section: one card per failed result with the application's versions (kept in
// step with the application, which a refresh rewrites), its refresh banner while it is the
// selected application and being refreshed, and the shared progress panel of its failed
// update (from which it can be refreshed or updated in Terminal) when one was recorded; a
// failure that left no record shows the result's error text instead.
class FailedUpdateView : public QWidget {
    Q_OBJECT

public:
    // The view model and the store must outlive the view.
    FailedUpdateView(DetailViewModel& detailViewModel, ApplicationStore& store,
                     const QList<Update::Result>& failedResults,
                     const QHash<QUuid, UpdateProgress>& failedProgressMap, QWidget* parent = nullptr);

private:
    struct CardParts {
        std::shared_ptr<Application> application;
        QWidget* card;
        QVBoxLayout* layout;
        SheetRefreshPanel* refreshPanel;
    };
    QWidget* makeCard(const Update::Result& result, const QHash<QUuid, UpdateProgress>& failedProgressMap);
    QWidget* makeHeader(const Application& app, QWidget* parent);
    void updateRefreshStates();
    QFuture<void> refresh(const Update::Result& result, const UpdateProgress& failed);

    DetailViewModel& m_detailViewModel;
    ApplicationStore& m_store;
    QList<CardParts> m_cards;
    std::vector<Application::ObserverToken> m_observers;
};

} // namespace norvelle
