#include "ui/main/ApplicationListModel.h"

#include "services/ApplicationStore.h"
#include "ui/main/SidebarRules.h"

#include <QHash>
#include <QSet>

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
    moveTo(rows);
    Q_EMIT rowsRecomputed();
}

// Row by row rather than by a reset, so the view keeps its selection, scroll position and
// current row, and a check that changes a few rows of thousands costs them little.
void ApplicationListModel::moveTo(const QList<std::shared_ptr<Application>>& next)
{
    QSet<QUuid> nextIds;
    nextIds.reserve(next.size());
    for (const auto& application : next)
        nextIds.insert(application->id());

    // Rows that go, in runs from the end, so the rows before each run keep their numbers.
    for (int row = int(m_rows.size()) - 1; row >= 0;) {
        if (nextIds.contains(m_rows.at(row)->id())) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && !nextIds.contains(m_rows.at(first - 1)->id()))
            --first;
        beginRemoveRows({}, first, row);
        m_rows.remove(first, row - first + 1);
        endRemoveRows();
        row = first - 1;
    }

    // Rows that come, at the end for now.
    QSet<QUuid> kept;
    kept.reserve(m_rows.size());
    for (const auto& application : std::as_const(m_rows))
        kept.insert(application->id());
    QList<std::shared_ptr<Application>> arriving;
    for (const auto& application : next) {
        if (!kept.contains(application->id()))
            arriving.append(application);
    }
    if (!arriving.isEmpty()) {
        beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + arriving.size()) - 1);
        m_rows.append(arriving);
        endInsertRows();
    }

    // Then every row to its place.
    if (!sameApplications(m_rows, next)) {
        Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        QHash<QUuid, int> rowOfId;
        rowOfId.reserve(next.size());
        for (int row = 0; row < next.size(); ++row)
            rowOfId.insert(next.at(row)->id(), row);
        const QModelIndexList from = persistentIndexList();
        QModelIndexList to;
        to.reserve(from.size());
        for (const QModelIndex& index : from)
            to.append(this->index(rowOfId.value(m_rows.at(index.row())->id())));
        m_rows = next;
        changePersistentIndexList(from, to);
        Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }
    m_rows = next;
    refreshAllRows();
}

void ApplicationListModel::refreshAllRows()
{
    if (!m_rows.isEmpty())
        Q_EMIT dataChanged(index(0), index(static_cast<int>(m_rows.size()) - 1));
}

} // namespace norvelle
