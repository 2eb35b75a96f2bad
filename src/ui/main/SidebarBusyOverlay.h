#pragma once

#include <QColor>
#include <QFrame>
#include <QPixmap>

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

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_label = nullptr;
    QPixmap m_card; // the card and its shadow at the current size
    QColor m_cardColor;
};

} // namespace norvelle
