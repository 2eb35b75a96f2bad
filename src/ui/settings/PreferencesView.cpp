#include "ui/settings/PreferencesView.h"

#include "model/Theme.h"
#include "platform/SettingsStore.h"
#include "ui/settings/SettingsCard.h"
#include "ui/settings/SettingsStyle.h"
#include "platform/Logger.h"
#include "viewmodels/SettingsViewModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace norvelle {

PreferencesView::PreferencesView(SettingsViewModel& viewModel, SettingsStore& settings, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel), m_settings(settings)
{
    setObjectName(QStringLiteral("preferencesView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* title = SettingsStyle::label(QStringLiteral("Preferences"), "preferencesTitle", this);
    SettingsStyle::pageTitle(title);
    layout->addWidget(title);

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("preferencesScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(scroll, 1);

    auto* content = new QWidget(scroll);
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    auto* section = new SettingsCard(QString(), content);
    section->setObjectName(QStringLiteral("preferencesSection"));
    contentLayout->addWidget(section);
    contentLayout->addStretch(1);

    auto* themeRow = new QHBoxLayout;
    themeRow->addWidget(SettingsStyle::label(QStringLiteral("Theme"), "themeLabel", section));
    themeRow->addStretch(1);
    m_themePicker = new QComboBox(section);
    m_themePicker->setObjectName(QStringLiteral("themePicker"));
    m_themePicker->setAccessibleName(QStringLiteral("Theme"));
    for (const Theme theme : allThemeCases())
        m_themePicker->addItem(toRawValue(theme), QVariant::fromValue(theme));
    themeRow->addWidget(m_themePicker);
    section->contentLayout()->addLayout(themeRow);

    auto* divider = new QFrame(section);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    SettingsStyle::secondary(divider);
    section->contentLayout()->addWidget(divider);

    const QString logText = QStringLiteral("Create log files on ~/Desktop");
    auto* logRow = new QHBoxLayout;
    logRow->addWidget(SettingsStyle::label(logText, "desktopLogFilesLabel", section));
    logRow->addStretch(1);
    m_desktopLogFilesToggle = new QCheckBox(section);
    m_desktopLogFilesToggle->setObjectName(QStringLiteral("desktopLogFilesToggle"));
    m_desktopLogFilesToggle->setAccessibleName(logText);
    logRow->addWidget(m_desktopLogFilesToggle);
    section->contentLayout()->addLayout(logRow);

    // Set last: the scroll area shows only what the content holds by then.
    scroll->setWidget(content);
    content->setAutoFillBackground(false);

    showStoredTheme();
    showStoredLogSwitch();

    // Only the user's own choices are forwarded (activated / clicked), so showing the stored
    // value never writes anything back.
    connect(m_themePicker, &QComboBox::activated, this, &PreferencesView::chooseTheme);
    connect(m_desktopLogFilesToggle, &QCheckBox::clicked, this, &PreferencesView::setDesktopLogFiles);
    connect(&m_settings, &SettingsStore::valueChanged, this, [this](const QString& key) {
        if (key == QLatin1String(SettingsStore::Keys::selectedTheme))
            showStoredTheme();
        else if (key == QLatin1String(SettingsStore::Keys::desktopLogFilesEnabled))
            showStoredLogSwitch();
    });
}

void PreferencesView::showStoredTheme()
{
    const QSignalBlocker blocker(m_themePicker);
    m_themePicker->setCurrentIndex(
        static_cast<int>(allThemeCases().indexOf(themeFromSetting(m_settings.selectedTheme()))));
}

void PreferencesView::showStoredLogSwitch()
{
    const QSignalBlocker blocker(m_desktopLogFilesToggle);
    m_desktopLogFilesToggle->setChecked(m_settings.desktopLogFilesEnabled());
}

void PreferencesView::chooseTheme(int index)
{
    const QVariant chosen = m_themePicker->itemData(index);
    if (!chosen.canConvert<Theme>())
        return;
    m_viewModel.applyTheme(chosen.value<Theme>());
    // The view model may store a different text first ("Light" on the way to "Automatic");
    // the picker shows whatever is stored.
    showStoredTheme();
}

void PreferencesView::setDesktopLogFiles(bool enabled)
{
    // A value the store could not save is not passed on: the switch shows what is stored.
    if (m_settings.setValue(SettingsStore::Keys::desktopLogFilesEnabled, enabled))
        Logger::setDesktopLogFilesEnabled(enabled);
    showStoredLogSwitch();
}

} // namespace norvelle
