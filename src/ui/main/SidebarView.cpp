#include "ui/main/SidebarView.h"

#include "coordinator/AppState.h"
#include "services/ApplicationStore.h"
#include "ui/SymbolIcons.h"
#include "ui/main/components/CountCapsule.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"
#include "ui/main/ApplicationListHeaderView.h"
#include "ui/main/ApplicationListModel.h"
#include "ui/main/ApplicationRowDelegate.h"
#include "ui/main/ApplicationSearchView.h"
#include "ui/main/DiscoveryProblemsView.h"
#include "ui/main/FollowUp.h"
#include "ui/main/MissingSourcesHeaderView.h"
#include "ui/main/SidebarBusyOverlay.h"
#include "ui/main/SidebarRules.h"
#include "ui/onboarding/InstallSourcesSheetPresenter.h"
#include "viewmodels/DetailViewModel.h"
#include "viewmodels/SidebarViewModel.h"

#include <QHBoxLayout>
#include <QListView>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>

namespace norvelle {

SidebarView::SidebarView(const ViewEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_env(environment)
{
    setObjectName(QStringLiteral("sidebarView"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* bar = new QWidget(this);
    buildToolbar(bar);
    column->addWidget(bar);
    column->addWidget(buildTitle());

    m_search = new ApplicationSearchView(this);
    column->addWidget(m_search);
    m_header = new ApplicationListHeaderView(this);
    column->addWidget(m_header);
    m_missing = new MissingSourcesHeaderView(this);
    column->addWidget(m_missing);
    m_problems = new DiscoveryProblemsView(this);
    column->addWidget(m_problems);

    m_model = new ApplicationListModel(m_env.store, this);
    // The model moves rows in place; whatever the list makes of a removed current row is no
    // choice of the user's. Connected before the list sees the model, so this runs first;
    // rowsRecomputed follows every such change and shows the store's selection again.
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { m_syncingSelection = true; });
    connect(m_model, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] { m_syncingSelection = true; });
    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("applicationList"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(new ApplicationRowDelegate(m_list));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setUniformItemSizes(true);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // No blur while busy: the list then shows no rows (see ApplicationListModel), so a blur
    // would draw nothing more, but it blurred the whole list again at every frame of the busy
    // card's spinner, and Qt's painting threads that do it are starved during a check.
    column->addWidget(m_list, 1);

    m_overlay = new SidebarBusyOverlay(this);

    SidebarViewModel& sidebar = m_env.sidebarViewModel;
    DetailViewModel& detail = m_env.detailViewModel;
    connect(m_search, &ApplicationSearchView::searchTextChanged, m_model, &ApplicationListModel::setSearchText);
    connect(m_header, &ApplicationListHeaderView::clearFilterClicked, this,
            [this] { m_env.sidebarViewModel.setCurrentFilter(ApplicationFilter::all); });
    connect(m_header, &ApplicationListHeaderView::showUpdatesClicked, this,
            [this] { m_env.sidebarViewModel.setShowUpdateSheet(true); });
    connect(m_missing, &MissingSourcesHeaderView::showSheetClicked, this,
            [this] { setShowInstallSourcesSheet(true); });
    new InstallSourcesSheetPresenter(*this, m_env);

    connect(&sidebar, &SidebarViewModel::isDiscoveringChanged, this, &SidebarView::updateState);
    connect(&sidebar, &SidebarViewModel::isCheckingUpdatesChanged, this, &SidebarView::updateState);
    connect(&sidebar, &SidebarViewModel::currentFilterChanged, this, &SidebarView::updateState);
    // One banner for every source that could not be read, by a discovery or by the checks; a
    // listing that both could not read for the same reason is told once.
    const auto showProblems = [this] {
        QStringList problems =
            m_env.sidebarViewModel.discoveryProblems() + m_env.sidebarViewModel.checkProblems();
        problems.removeDuplicates();
        m_problems->setProblems(problems);
    };
    connect(&sidebar, &SidebarViewModel::discoveryProblemsChanged, m_problems, showProblems);
    connect(&sidebar, &SidebarViewModel::checkProblemsChanged, m_problems, showProblems);
    connect(&m_env.store, &ApplicationStore::applicationsChanged, this, &SidebarView::updateState);
    connect(&m_env.store, &ApplicationStore::applicationsUpdated, this, &SidebarView::updateState);
    connect(&m_env.store, &ApplicationStore::environmentStatusChanged, this, &SidebarView::updateState);
    connect(&detail, &DetailViewModel::isUpdatingChanged, this, &SidebarView::updateState);
    connect(&detail, &DetailViewModel::updateProgressChanged, m_model, &ApplicationListModel::setUpdateProgress);
    connect(&detail, &DetailViewModel::adoptionProgressChanged, m_model, &ApplicationListModel::setAdoptionProgress);
    connect(m_model, &ApplicationListModel::rowsRecomputed, this, &SidebarView::updateState);
    connect(m_model, &ApplicationListModel::rowsRecomputed, this, &SidebarView::syncSelectionFromStore);
    connect(&m_env.store, &ApplicationStore::selectedApplicationIdChanged, this,
            &SidebarView::syncSelectionFromStore);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SidebarView::takeSelectionFromList);
    connect(m_list, &QListView::customContextMenuRequested, this, [this](const QPoint& pos) {
        const QModelIndex index = m_list->indexAt(pos);
        if (!index.isValid())
            return;
        if (QMenu* menu = contextMenuForRow(index.row()))
            menu->popup(m_list->viewport()->mapToGlobal(pos));
    });

    m_model->setUpdateProgress(detail.updateProgress());
    m_model->setAdoptionProgress(detail.adoptionProgress());
    showProblems();
    updateState();
    syncSelectionFromStore();
}

SidebarView::~SidebarView() = default;

void SidebarView::buildToolbar(QWidget* bar)
{
    bar->setObjectName(QStringLiteral("sidebarToolbar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 6, 8, 6);
    row->setSpacing(4);
    row->addStretch(1);

    m_updateAll = new QToolButton(bar);
    m_updateAll->setIcon(SymbolIcons::icon(QStringLiteral("arrow.up.circle")));
    m_updateAll->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_updateAll->setObjectName(QStringLiteral("updateAllButton"));
    m_updateAll->setText(QStringLiteral("Update All"));
    m_updateAll->setToolTip(QStringLiteral("Review and update all available apps"));
    connect(m_updateAll, &QToolButton::clicked, this, [this] { m_env.sidebarViewModel.setShowUpdateSheet(true); });
    row->addWidget(m_updateAll);

    m_refresh = new QToolButton(bar);
    m_refresh->setIcon(SymbolIcons::icon(QStringLiteral("arrow.clockwise")));
    m_refresh->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_refresh->setObjectName(QStringLiteral("refreshButton"));
    m_refresh->setText(QStringLiteral("Refresh"));
    connect(m_refresh, &QToolButton::clicked, this, &SidebarView::refreshAll);
    row->addWidget(m_refresh);

    m_filter = new QToolButton(bar);
    m_filter->setIcon(SymbolIcons::icon(QStringLiteral("line.3.horizontal.decrease")));
    m_filter->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_filter->setObjectName(QStringLiteral("filterButton"));
    m_filter->setText(QStringLiteral("Filter"));
    m_filter->setPopupMode(QToolButton::InstantPopup);
    m_filter->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    m_filterMenu = new QMenu(m_filter);
    m_filterMenu->setObjectName(QStringLiteral("filterMenu"));
    for (ApplicationFilter filter : allApplicationFilters()) {
        QAction* action = m_filterMenu->addAction(sidebar::filterTitle(filter));
        action->setObjectName(QStringLiteral("filterAction_%1").arg(static_cast<int>(filter)));
        action->setIcon(SymbolIcons::icon(sidebar::filterSymbol(filter)));
        action->setIconVisibleInMenu(true);
        action->setCheckable(true);
        action->setData(static_cast<int>(filter));
        connect(action, &QAction::triggered, this,
                [this, filter] { m_env.sidebarViewModel.setCurrentFilter(filter); updateFilterMenu(); });
    }
    m_filter->setMenu(m_filterMenu);
    row->addWidget(m_filter);
}

QWidget* SidebarView::buildTitle()
{
    // The column's title, with the number of updates beside it (none at 0), on its own line:
    // beside the toolbar's buttons it would squeeze them.
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("sidebarTitleBar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(16, 0, 16, 6);
    row->setSpacing(6);
    auto* title = new QLabel(QStringLiteral("Applications"), bar);
    title->setObjectName(QStringLiteral("sidebarTitle"));
    title->setTextFormat(Qt::PlainText);
    title->setFont(TextStyles::font(TextStyles::Style::title3, QFont::Bold));
    row->addWidget(title);
    m_titleBadge = new CountCapsule(&SystemColors::secondary, 0.2, bar);
    m_titleBadge->setObjectName(QStringLiteral("sidebarTitleBadge"));
    m_titleBadge->hide();
    row->addWidget(m_titleBadge);
    row->addStretch(1);
    return bar;
}

bool SidebarView::isBusy() const
{
    return m_env.sidebarViewModel.isDiscovering() || m_env.sidebarViewModel.isCheckingUpdates();
}

void SidebarView::updateState()
{
    const SidebarViewModel& sidebar = m_env.sidebarViewModel;
    const bool busy = isBusy();
    m_model->setBusy(busy);
    m_model->setFilter(sidebar.currentFilter());

    const auto withUpdates = m_env.store.applicationsWithUpdates();
    const int updatesCount = static_cast<int>(withUpdates.size());
    m_titleBadge->setCount(updatesCount);
    m_titleBadge->setVisible(updatesCount > 0);
    m_header->setState(sidebar.currentFilter(), m_model->rowCount(), updatesCount, busy);
    const auto status = m_env.store.environmentStatus();
    if (status)
        m_missing->setState(*status, busy);
    else
        m_missing->hide();

    m_list->setEnabled(!busy);
    m_overlay->setState(sidebar.isDiscovering(), sidebar.isCheckingUpdates());

    const bool nothingWithoutPassword = sidebar::splitByPassword(withUpdates).applications.isEmpty();
    m_updateAll->setEnabled(!nothingWithoutPassword && !busy && !m_env.detailViewModel.isUpdating());
    m_refresh->setEnabled(!busy);
    m_filter->setEnabled(!busy);
    updateFilterMenu();
}

void SidebarView::updateFilterMenu()
{
    const int current = static_cast<int>(m_env.sidebarViewModel.currentFilter());
    for (QAction* action : m_filterMenu->actions())
        action->setChecked(action->data().toInt() == current);
}

void SidebarView::syncSelectionFromStore()
{
    // Showing the store's selection must never write it back, and a row the list picks by
    // itself (focus, a reset) must never become the selection.
    m_syncingSelection = true;
    const auto id = m_env.store.selectedApplicationId();
    const int row = id ? m_model->rowOf(*id) : -1;
    QItemSelectionModel* selection = m_list->selectionModel();
    if (row >= 0) {
        const QModelIndex index = m_model->index(row);
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    } else {
        selection->clear();
    }
    m_syncingSelection = false;
}

void SidebarView::takeSelectionFromList()
{
    if (m_syncingSelection)
        return;
    const QModelIndexList selected = m_list->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return; // the sidebar never clears the selection
    const auto application = m_model->applicationAt(selected.first().row());
    if (application)
        m_env.store.setSelectedApplicationId(application->id());
}

void SidebarView::setShowInstallSourcesSheet(bool value)
{
    if (m_showInstallSourcesSheet == value)
        return;
    m_showInstallSourcesSheet = value;
    Q_EMIT showInstallSourcesSheetChanged(value);
}

void SidebarView::refreshAll()
{
    SidebarViewModel* sidebar = &m_env.sidebarViewModel;
    followUp(sidebar->discoverApplications(), this, [sidebar] { sidebar->checkForUpdates(); });
}

QMenu* SidebarView::contextMenuForRow(int row)
{
    const auto application = m_model->applicationAt(row);
    if (!application)
        return nullptr;
    const QModelIndex index = m_model->index(row);
    sidebar::RowMenuInput input;
    input.hasUpdate = application->update().has_value();
    input.ignored = application->ignored();
    input.isUpdating = index.data(ApplicationListModel::IsUpdatingRole).toBool();
    input.isAdopting = index.data(ApplicationListModel::IsAdoptingRole).toBool();
    input.hasPermission = m_env.appState.hasAppManagementPermission();

    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("rowContextMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QUuid id = application->id();
    for (const sidebar::RowMenuItem& item : sidebar::rowMenuItems(input)) {
        using Kind = sidebar::RowMenuItem::Kind;
        if (item.kind == Kind::divider) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(item.text);
        action->setEnabled(item.enabled);
        if (!item.symbol.isEmpty()) {
            action->setIcon(SymbolIcons::icon(item.symbol));
            action->setIconVisibleInMenu(true);
        }
        if (item.kind == Kind::update) {
            action->setObjectName(QStringLiteral("rowUpdateAction"));
            connect(action, &QAction::triggered, this, [this, id] { updateRow(id); });
        } else {
            action->setObjectName(QStringLiteral("rowToggleIgnoreAction"));
            connect(action, &QAction::triggered, this, [this, id] { toggleIgnoreRow(id); });
        }
    }
    return menu;
}

void SidebarView::updateRow(const QUuid& id)
{
    // The detail view model acts on the selected application, so select it first.
    m_env.store.setSelectedApplicationId(id);
    m_env.detailViewModel.updateApplication();
}

void SidebarView::toggleIgnoreRow(const QUuid& id)
{
    m_env.store.setSelectedApplicationId(id);
    const auto application = m_env.store.selectedApplication();
    if (application && application->ignored())
        m_env.detailViewModel.unignoreApplication();
    else
        m_env.detailViewModel.ignoreApplication();
}

void SidebarView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_overlay->setState(m_env.sidebarViewModel.isDiscovering(), m_env.sidebarViewModel.isCheckingUpdates());
}

} // namespace norvelle
