#pragma once

#include "model/Update.h"
#include "model/UpdateProgress.h"

#include <QHash>
#include <QList>
#include <QUuid>
#include <QWidget>

namespace norvelle {

class ApplicationStore;
class DetailViewModel;

// The outcome of a batch: "Updated" above "Failed", 20 points apart, each present only when it
// has results; both keep the batch's order.
class ResultsView : public QWidget {
    Q_OBJECT

public:
    using FailedProgressMap = QHash<QUuid, UpdateProgress>;

    ResultsView(const QList<Update::Result>& results, const FailedProgressMap& failedProgressMap,
                DetailViewModel& detailViewModel, ApplicationStore& store, QWidget* parent = nullptr);
};

// The "Updated" section: one row per successful result.
class SuccessfulUpdateView : public QWidget {
    Q_OBJECT

public:
    explicit SuccessfulUpdateView(const QList<Update::Result>& successfulResults, QWidget* parent = nullptr);
};

} // namespace norvelle
