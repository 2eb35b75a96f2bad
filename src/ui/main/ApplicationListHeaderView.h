#pragma once

#include "viewmodels/ApplicationFilter.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace norvelle {

class CountCapsule;

// What the sidebar list shows: the filter's name (or "Application"/"Applications"), the number
// of rows, and "Clear Filter" under a filter or, under `all`, a green "Updates" shortcut while
// there are updates. Hidden entirely (no room taken) while `shouldHide`.
class ApplicationListHeaderView : public QWidget {
    Q_OBJECT
public:
    explicit ApplicationListHeaderView(QWidget* parent = nullptr);

    void setState(ApplicationFilter currentFilter, int filteredCount, int updatesCount, bool shouldHide);

Q_SIGNALS:
    void clearFilterClicked();
    void showUpdatesClicked();

private:
    QLabel* m_label = nullptr;
    CountCapsule* m_count = nullptr;
    CountCapsule* m_updatesCount = nullptr;
    QPushButton* m_clearFilter = nullptr;
    QPushButton* m_showUpdates = nullptr;
};

} // namespace norvelle
