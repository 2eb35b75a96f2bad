#include "ui/app/SettingsWindowPresenter.h"

#include "ui/settings/SettingsWindow.h"
#include "platform/Logger.h"

#include <QGuiApplication>
#include <QScreen>

namespace norvelle {

SettingsWindowPresenter::SettingsWindowPresenter(SettingsViewModel& viewModel, AppState& appState,
                                                 SettingsStore& settings, QVariantMap applicationInfo,
                                                 QObject* parent)
    : QObject(parent), m_viewModel(viewModel), m_appState(appState), m_settings(settings),
      m_applicationInfo(std::move(applicationInfo))
{
}

SettingsWindowPresenter::~SettingsWindowPresenter()
{
    delete m_window.data();
}

SettingsWindow* SettingsWindowPresenter::window() const
{
    return m_window.data();
}

void SettingsWindowPresenter::open()
{
    if (!m_window) {
        // A window of its own, parented to nothing, so it never sits in front of the main
        // window only.
        m_window = new SettingsWindow(m_viewModel, m_appState, m_settings, m_applicationInfo);
        m_window->setAttribute(Qt::WA_DeleteOnClose, false);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = m_window->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            m_window->move(frame.topLeft());
        }
    }
    if (m_window->isMinimized())
        m_window->showNormal();
    else
        m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void SettingsWindowPresenter::openWindow(const QString& id)
{
    if (id == QLatin1String(windowId)) {
        open();
        return;
    }
    Logger::warning(QStringLiteral("No window with id '") + id + QStringLiteral("' to open"));
}

} // namespace norvelle
