#pragma once

#include "ui/main/ViewEnvironment.h"

#include <QUuid>
#include <QWidget>

class QListView;
class QMenu;
class QToolButton;

namespace norvelle {

class CountCapsule;

class ApplicationListHeaderView;
class ApplicationListModel;
class ApplicationSearchView;
class DiscoveryProblemsView;
class MissingSourcesHeaderView;
class SidebarBusyOverlay;

// The main window's left column: "Update All", "Refresh" and "Filter", the search field, the
// list header, the missing-tools banner, the banner of what the last discovery could not read
// and the application list, with a busy overlay while a discovery or an update check runs.
// It binds the view models' state to these controls and hands clicks to the view models; the
// selection is the store's selectedApplicationId.
class SidebarView : public QWidget {
    Q_OBJECT
public:
    explicit SidebarView(const ViewEnvironment& environment, QWidget* parent = nullptr);
    ~SidebarView() override;

    ApplicationListModel& model() const { return *m_model; }
    QListView* listView() const { return m_list; }
    // Whether the tool-installation sheet has been asked for (the banner was clicked).
    bool showInstallSourcesSheet() const { return m_showInstallSourcesSheet; }
    void setShowInstallSourcesSheet(bool value);

    // The row's context menu, built afresh; the caller pops it up (it deletes itself on close).
    QMenu* contextMenuForRow(int row);

Q_SIGNALS:
    void showInstallSourcesSheetChanged(bool value);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildToolbar(QWidget* bar);
    void updateState();
    void updateFilterMenu();
    void syncSelectionFromStore();
    void takeSelectionFromList();
    void refreshAll();
    void updateRow(const QUuid& id);
    void toggleIgnoreRow(const QUuid& id);
    bool isBusy() const;
    QWidget* buildTitle();

    ViewEnvironment m_env;
    ApplicationListModel* m_model = nullptr;
    ApplicationSearchView* m_search = nullptr;
    ApplicationListHeaderView* m_header = nullptr;
    MissingSourcesHeaderView* m_missing = nullptr;
    DiscoveryProblemsView* m_problems = nullptr;
    QListView* m_list = nullptr;
    SidebarBusyOverlay* m_overlay = nullptr;
    CountCapsule* m_titleBadge = nullptr;
    QToolButton* m_updateAll = nullptr;
    QToolButton* m_refresh = nullptr;
    QToolButton* m_filter = nullptr;
    QMenu* m_filterMenu = nullptr;
    bool m_showInstallSourcesSheet = false;
    bool m_syncingSelection = false;
};

} // namespace norvelle
