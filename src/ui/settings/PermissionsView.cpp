#include "ui/settings/PermissionsView.h"

#include "coordinator/AppState.h"
#include "ui/main/components/ActionFailureAlert.h"
#include "ui/settings/SettingsCard.h"
#include "ui/settings/SettingsStyle.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace norvelle {

PermissionsView::PermissionsView(AppState& appState, QWidget* parent) : QWidget(parent), m_appState(appState)
{
    setObjectName(QStringLiteral("permissionsView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* title = SettingsStyle::label(QStringLiteral("Security & Privacy"), "permissionsTitle", this);
    SettingsStyle::pageTitle(title);
    layout->addWidget(title);

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("permissionsScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(scroll, 1);

    auto* content = new QWidget(scroll);
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    auto* card = new SettingsCard(QString(), content);
    card->setObjectName(QStringLiteral("permissionsCard"));
    card->contentLayout()->setSpacing(16);
    contentLayout->addWidget(card);
    contentLayout->addStretch(1);

    auto* permission = new QVBoxLayout;
    permission->setSpacing(8);
    auto* toggleRow = new QHBoxLayout;
    auto* heading = SettingsStyle::label(QStringLiteral("App Management"), "appManagementLabel", card);
    SettingsStyle::headline(heading);
    toggleRow->addWidget(heading);
    toggleRow->addStretch(1);
    m_toggle = new QCheckBox(card);
    m_toggle->setObjectName(QStringLiteral("appManagementToggle"));
    m_toggle->setAccessibleName(QStringLiteral("App Management"));
    toggleRow->addWidget(m_toggle);
    permission->addLayout(toggleRow);

    auto* purpose =
        SettingsStyle::label(QStringLiteral("Norvelle triggers system commands to manage applications."),
                             "appManagementPurpose", card);
    SettingsStyle::subheadline(purpose);
    permission->addWidget(purpose);
    auto* consequence = SettingsStyle::label(
        QStringLiteral("Without this permission enabled, you will see \"Norvelle.app was prevented from "
                       "modifying apps on your Mac\" notifications from macOS Privacy & Security."),
        "appManagementConsequence", card);
    SettingsStyle::subheadline(consequence);
    permission->addWidget(consequence);
    m_warningRow = buildWarningRow(card);
    permission->addWidget(m_warningRow);
    card->contentLayout()->addLayout(permission);

    m_instructions = buildInstructions(card);
    card->contentLayout()->addWidget(m_instructions);

    // Set last: the scroll area shows only what the content holds by then.
    scroll->setWidget(content);
    content->setAutoFillBackground(false);

    showPermission(m_appState.hasAppManagementPermission());
    connect(m_toggle, &QCheckBox::toggled, &m_appState, &AppState::setHasAppManagementPermission);
    connect(&m_appState, &AppState::hasAppManagementPermissionChanged, this,
            &PermissionsView::showPermission);
    connect(m_settingsButton, &QPushButton::clicked, this, [this] {
        if (!m_appState.openAppManagementSettings())
            ActionFailureAlert::open(window(), ActionFailureAlert::permissionSettingsFailure());
    });
}

QWidget* PermissionsView::buildWarningRow(QWidget* parent)
{
    auto* row = new QWidget(parent);
    row->setObjectName(QStringLiteral("permissionWarningRow"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* warning = SettingsStyle::label(
        QStringLiteral("Enabling without granting the permission on macOS will cause issues"),
        "permissionWarning", row);
    SettingsStyle::caption(warning);
    layout->addWidget(warning, 1);
    m_settingsButton = new QPushButton(QStringLiteral("Settings..."), row);
    m_settingsButton->setObjectName(QStringLiteral("openAppManagementSettingsButton"));
    m_settingsButton->setDefault(true); // the prominent button of the page
    m_settingsButton->setAutoDefault(false);
    layout->addWidget(m_settingsButton);
    return row;
}

QWidget* PermissionsView::buildInstructions(QWidget* parent)
{
    auto* block = new QWidget(parent);
    block->setObjectName(QStringLiteral("permissionInstructions"));
    auto* layout = new QVBoxLayout(block);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto* divider = new QFrame(block);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    SettingsStyle::secondary(divider);
    layout->addWidget(divider);
    auto* heading = SettingsStyle::label(QStringLiteral("Instructions"), "instructionsTitle", block);
    SettingsStyle::headline(heading);
    layout->addWidget(heading);

    auto* steps = new QVBoxLayout;
    steps->setSpacing(8);
    const char* const names[] = {"instructionStep1", "instructionStep2", "instructionStep3"};
    const QString texts[] = {
        QStringLiteral("1. Click the 'Settings...' button above"),
        QStringLiteral(
            "2. Add Norvelle to the App Management list by clicking the + button, or if it's already "
            "listed, enable it"),
        QStringLiteral("3. Return here and click the toggle to enable"),
    };
    for (int i = 0; i < 3; ++i) {
        auto* step = SettingsStyle::label(texts[i], names[i], block);
        SettingsStyle::subheadline(step);
        steps->addWidget(step);
    }
    layout->addLayout(steps);
    return block;
}

void PermissionsView::showPermission(bool granted)
{
    {
        const QSignalBlocker blocker(m_toggle);
        m_toggle->setChecked(granted);
    }
    m_warningRow->setVisible(!granted);
    m_instructions->setVisible(!granted);
}

} // namespace norvelle
