#include "ui/main/ContentView.h"

#include "coordinator/AppState.h"
#include "services/ApplicationStore.h"
#include "ui/detail/DetailView.h"
#include "ui/main/SidebarView.h"
#include "ui/main/FollowUp.h"
#include "viewmodels/SidebarViewModel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>

namespace norvelle {

ContentView::ContentView(const ViewEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_env(environment)
{
    setObjectName(QStringLiteral("contentView"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("contentSplitter"));
    m_splitter->setChildrenCollapsible(false);
    m_sidebar = new SidebarView(m_env, m_splitter);
    m_sidebar->setFixedWidth(sidebarWidth);
    m_splitter->addWidget(m_sidebar);

    auto* detail = new DetailView(m_env, m_env.urlOpener, m_splitter);
    connect(detail, &DetailView::openWindowRequested, this, &ContentView::openWindowRequested);
    m_splitter->addWidget(detail);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    layout->addWidget(m_splitter);

    connect(&m_env.store, &ApplicationStore::selectedApplicationIdChanged, this, &ContentView::updateDetail);
    connect(&m_env.store, &ApplicationStore::applicationsChanged, this, &ContentView::updateDetail);
    connect(&m_env.appState, &AppState::showUpdateCheckErrorChanged, this, &ContentView::syncAlert);
    updateDetail();

    // After the current event, so the content is in place before the work starts; destroying
    // the content first drops the task.
    QTimer::singleShot(0, this, &ContentView::startTask);
    QTimer::singleShot(0, this, &ContentView::syncAlert);
}

ContentView::~ContentView()
{
    if (m_alert)
        m_alert->deleteLater();
}

void ContentView::startTask()
{
    SidebarViewModel* sidebar = &m_env.sidebarViewModel;
    // Whatever the discovery's outcome, the check follows it and never overlaps it.
    followUp(sidebar->discoverApplications(), this, [sidebar] { sidebar->checkForUpdates(); });
}

void ContentView::syncAlert()
{
    const bool show = m_env.appState.showUpdateCheckError();
    if (!show) {
        if (m_alert)
            m_alert->close();
        return;
    }
    if (m_alert)
        return;
    auto* alert = new QMessageBox(window());
    alert->setObjectName(QStringLiteral("updateCheckErrorAlert"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setIcon(QMessageBox::Warning);
    alert->setWindowTitle(QStringLiteral("Check For Updates Failed"));
    alert->setText(QStringLiteral("Check For Updates Failed"));
    alert->setInformativeText(
        QStringLiteral("Unable to grab data from Homebrew to display available updates.\n\nBrew will sometimes "
                       "rate limit too many checks. Wait a few seconds and then try again."));
    alert->setTextFormat(Qt::PlainText);
    QPushButton* cancel = alert->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("alertCancelButton"));
    QPushButton* tryAgain = alert->addButton(QStringLiteral("Try Again"), QMessageBox::AcceptRole);
    tryAgain->setObjectName(QStringLiteral("alertTryAgainButton"));
    alert->setDefaultButton(tryAgain);
    alert->setEscapeButton(cancel);
    connect(alert, &QMessageBox::buttonClicked, this, [this, tryAgain](QAbstractButton* button) {
        // Any dismissal lowers the flag; only "Try Again" checks again (without a discovery).
        m_env.appState.setShowUpdateCheckError(false);
        if (button == tryAgain)
            m_env.sidebarViewModel.checkForUpdates();
    });
    connect(alert, &QMessageBox::finished, this, [this] { m_env.appState.setShowUpdateCheckError(false); });
    m_alert = alert;
    alert->open();
}

void ContentView::updateDetail()
{
    const auto application = m_env.store.selectedApplication();
    if (m_detail)
        m_detail->setText(application ? application->name() : QString());
}

} // namespace norvelle
