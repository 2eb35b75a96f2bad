#include "ui/main/ApplicationListModel.h"

#include "services/ApplicationStore.h"
#include "ui/main/SidebarRules.h"

namespace norvelle {

ApplicationListModel::ApplicationListModel(ApplicationStore& store, QObject* parent)
    : QAbstractListModel(parent), m_store(store)
{
    connect(&m_store, &ApplicationStore::applicationsChanged, this, &ApplicationListModel::recompute);
    connect(&m_store, &ApplicationStore::applicationsUpdated, this, &ApplicationListModel::recompute);
    recompute();
}

int ApplicationListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant ApplicationListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto& application = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return application->name();
    case ApplicationRole:
        return QVariant::fromValue(application);
    case IdRole:
        return application->id();
    case IsUpdatingRole:
        return sidebar::isUpdateInProgress(m_updateProgress, application->id());
    case IsAdoptingRole:
        return sidebar::isAdoptionInProgress(m_adoptionProgress, application->id());
    default:
        return {};
    }
}

void ApplicationListModel::setFilter(ApplicationFilter filter)
{
    if (filter == m_filter)
        return;
    m_filter = filter;
    recompute();
}

void ApplicationListModel::setSearchText(const QString& text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    recompute();
}

void ApplicationListModel::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    recompute();
}

void ApplicationListModel::setLocale(const QLocale& locale)
{
    m_locale = locale;
    recompute();
}

void ApplicationListModel::setUpdateProgress(const std::optional<UpdateProgress>& progress)
{
    m_updateProgress = progress;
    refreshAllRows();
}

void ApplicationListModel::setAdoptionProgress(const std::optional<AdoptionProgress>& progress)
{
    m_adoptionProgress = progress;
    refreshAllRows();
}

std::shared_ptr<Application> ApplicationListModel::applicationAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row) : nullptr;
}

int ApplicationListModel::rowOf(const QUuid& id) const
{
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row)->id() == id)
            return row;
    }
    return -1;
}

void ApplicationListModel::recompute()
{
    QList<std::shared_ptr<Application>> rows;
    if (!m_busy)
        rows = visibleApplications(m_store.applications(), m_filter, m_searchText, m_locale);
    if (sameApplications(rows, m_rows)) {
        // Same rows in the same order: only their contents may have changed.
        m_rows = rows;
        refreshAllRows();
        return;
    }
    beginResetModel();
    m_rows = rows;
    endResetModel();
    Q_EMIT rowsRecomputed();
}

void ApplicationListModel::refreshAllRows()
{
    if (!m_rows.isEmpty())
        Q_EMIT dataChanged(index(0), index(static_cast<int>(m_rows.size()) - 1));
}

} // namespace norvelle
