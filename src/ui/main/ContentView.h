#pragma once

#include "ui/main/ViewEnvironment.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

class QLabel;
class QSplitter;

namespace norvelle {

class SidebarView;

// The main content: the sidebar (fixed at 280 points) beside the detail area. Created afresh
// each time it is shown; creating it starts the discovery followed by the update check. It
// raises the "Check For Updates Failed" alert while AppState.showUpdateCheckError is true.
class ContentView : public QWidget {
    Q_OBJECT
public:
    static constexpr int sidebarWidth = 280;

    explicit ContentView(const ViewEnvironment& environment, QWidget* parent = nullptr);
    ~ContentView() override;

    SidebarView* sidebar() const { return m_sidebar; }
    // The open alert, if any.
    QMessageBox* updateCheckAlert() const { return m_alert; }

Q_SIGNALS:
    // A view inside asks for the window with this id ("settings") to be opened or brought forward.
    void openWindowRequested(const QString& id);

private:
    void startTask();
    void syncAlert();
    void updateDetail();

    ViewEnvironment m_env;
    QSplitter* m_splitter = nullptr;
    SidebarView* m_sidebar = nullptr;
    QLabel* m_detail = nullptr;
    QPointer<QMessageBox> m_alert;
};

} // namespace norvelle
