#pragma once

#include "model/AdoptionProgress.h"
#include "model/Application.h"
#include "model/UpdateProgress.h"
#include "viewmodels/ApplicationFilter.h"

#include <QAbstractListModel>
#include <QList>
#include <QLocale>
#include <memory>
#include <optional>

namespace norvelle {

class ApplicationStore;

// The sidebar's rows: the store's applications sorted, filtered and searched (see
// visibleApplications), or none while the sidebar is busy. Recomputed whenever the store, the
// filter, the search text or (once per event-loop turn) listed applications change; the
// store is never reordered.
class ApplicationListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        ApplicationRole = Qt::UserRole + 1, // std::shared_ptr<Application>
        IdRole,                             // QUuid
        IsUpdatingRole,                     // bool: this application's update is under way
        IsAdoptingRole,                     // bool: this application's adoption is under way
    };

    // `store` must outlive the model.
    explicit ApplicationListModel(ApplicationStore& store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void setFilter(ApplicationFilter filter);
    void setSearchText(const QString& text);
    void setBusy(bool busy);
    void setLocale(const QLocale& locale);
    void setUpdateProgress(const std::optional<UpdateProgress>& progress);
    void setAdoptionProgress(const std::optional<AdoptionProgress>& progress);

    ApplicationFilter filter() const { return m_filter; }
    QString searchText() const { return m_searchText; }
    std::shared_ptr<Application> applicationAt(int row) const;
    // The row of the application with this id, or -1 when it is not shown.
    int rowOf(const QUuid& id) const;

Q_SIGNALS:
    // The rows were recomputed (their set or order may have changed).
    void rowsRecomputed();

private:
    void recompute();
    void moveTo(const QList<std::shared_ptr<Application>>& next);
    void refreshAllRows();

    ApplicationStore& m_store;
    QList<std::shared_ptr<Application>> m_rows;
    ApplicationFilter m_filter = ApplicationFilter::all;
    QString m_searchText;
    bool m_busy = false;
    QLocale m_locale;
    std::optional<UpdateProgress> m_updateProgress;
    std::optional<AdoptionProgress> m_adoptionProgress;
};

} // namespace norvelle
