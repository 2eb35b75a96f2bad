#pragma once

#include <QFrame>

class QLabel;

namespace norvelle {

// The card centred over the sidebar while a discovery or an update check runs.
class SidebarBusyOverlay : public QFrame {
    Q_OBJECT
public:
    explicit SidebarBusyOverlay(QWidget* parent = nullptr);

    // Discovery wins when both run. Shows nothing when neither runs.
    void setState(bool isDiscovering, bool isCheckingUpdates);
    QString text() const;

private:
    QLabel* m_label = nullptr;
};

} // namespace norvelle
