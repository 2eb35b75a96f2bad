#include "ui/app/AppTheme.h"

#include "platform/SettingsStore.h"
#include "ui/main/MainWindow.h"
#include "ui/settings/SettingsAppearance.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QStyleFactory>
#include <QToolTip>
#include <QWidget>

namespace norvelle {

AppTheme::AppTheme(SettingsStore& settings, QObject* parent)
    : QObject(parent), m_settings(settings)
{
#ifndef Q_OS_MACOS
    // A desktop style of the platform may draw with its own theme colours and ignore ours;
    // Fusion draws everything from the palette.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
#endif
    m_systemPalette = QApplication::palette();
    connect(&m_settings, &SettingsStore::valueChanged, this, [this](const QString& key) {
        if (key == QLatin1String(SettingsStore::Keys::selectedTheme))
            apply();
    });
    apply();
}

QPalette AppTheme::paletteFor(Theme theme, const QPalette& systemPalette)
{
    return theme == Theme::system ? systemPalette : SettingsAppearance::palette(theme);
}

void AppTheme::apply()
{
    m_applied = MainWindow::preferredTheme(m_settings.selectedTheme());
    const QPalette palette = paletteFor(m_applied, m_systemPalette);
    QApplication::setPalette(palette);
    // Tooltips keep a palette of their own.
    QToolTip::setPalette(palette);
    // Qt tells existing widgets only while its event loop runs; telling them again is cheap and
    // makes the switch the same before the loop starts. A widget with a style sheet takes its
    // colours when it is polished, not when the palette changes: those are polished again.
    // A view that rebuilds its rows for the new palette deletes widgets further down the list
    // (switching the theme under the batch sheet crashed): each is looked at only while alive.
    const QList<QWidget*> all = QApplication::allWidgets();
    QList<QPointer<QWidget>> widgets;
    widgets.reserve(all.size());
    for (QWidget* widget : all)
        widgets.append(widget);
    for (const QPointer<QWidget>& widget : std::as_const(widgets)) {
        if (!widget)
            continue;
        QEvent changed(QEvent::ApplicationPaletteChange);
        QApplication::sendEvent(widget, &changed);
        if (!widget)
            continue;
        const QString sheet = widget->styleSheet();
        if (!sheet.isEmpty())
            widget->setStyleSheet(sheet);
    }
    Q_EMIT applied(m_applied);
}

} // namespace norvelle
