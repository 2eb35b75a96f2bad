#pragma once

#include "model/UpdateProgress.h"

#include <QFuture>
#include <QWidget>
#include <functional>

class QPushButton;

namespace norvelle {

// The status panel of one update progress record inside the batch-update sheet: the status, a
// determinate bar while the update is in flight, the current step, and the last output line.
// With a refresh action it offers "Refresh", which reads "Checking..." until the action's
// future ends.
class BatchProgressPanel : public QWidget {
    Q_OBJECT

public:
    using RefreshAction = std::function<QFuture<void>()>;

    explicit BatchProgressPanel(const UpdateProgress& progress, RefreshAction onRefreshApp = {},
                                QWidget* parent = nullptr);

    const UpdateProgress& progress() const { return m_progress; }
    // Null without a refresh action.
    QPushButton* refreshButton() const { return m_refresh; }

    static QString statusText(UpdateProgress::Status status);

private:
    void startRefresh();

    UpdateProgress m_progress;
    RefreshAction m_onRefreshApp;
    QPushButton* m_refresh = nullptr;
};

} // namespace norvelle
