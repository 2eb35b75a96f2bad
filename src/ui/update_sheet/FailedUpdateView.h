#pragma once

#include "model/Update.h"
#include "model/UpdateProgress.h"

#include <QFuture>
#include <QHash>
#include <QList>
#include <QUuid>
#include <QWidget>

class QLabel;

namespace norvelle {

class ApplicationStore;
class DetailViewModel;

// The "Failed" section: one card per failed result with the application's versions, its refresh
// state while it is the selected application and being refreshed, and its failed progress panel
// (with "Refresh") when one was recorded for the application.
class FailedUpdateView : public QWidget {
    Q_OBJECT

public:
    FailedUpdateView(DetailViewModel& detailViewModel, ApplicationStore& store,
                     const QList<Update::Result>& failedResults,
                     const QHash<QUuid, UpdateProgress>& failedProgressMap, QWidget* parent = nullptr);

private:
    struct CardParts {
        QUuid applicationId;
        QLabel* refreshState;
    };
    QWidget* makeCard(const Update::Result& result, const QHash<QUuid, UpdateProgress>& failedProgressMap);
    void updateRefreshStates();
    QFuture<void> refresh(const Update::Result& result, const UpdateProgress& failed);

    DetailViewModel& m_detailViewModel;
    ApplicationStore& m_store;
    QList<CardParts> m_cards;
};

} // namespace norvelle
