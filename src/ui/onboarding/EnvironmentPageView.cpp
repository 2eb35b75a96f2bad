#include "ui/onboarding/EnvironmentPageView.h"

#include "ui/main/components/SystemColors.h"
#include "ui/main/components/CopyFlag.h"
#include "ui/detail/TerminalAlert.h"
#include "ui/onboarding/InstallSourceView.h"
#include "ui/onboarding/OnboardingCard.h"
#include "ui/onboarding/OnboardingStyle.h"
#include "ui/onboarding/ToolInstallCommands.h"
#include "ui/onboarding/TourPageHeader.h"
#include "viewmodels/DetailViewModel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace norvelle {

EnvironmentPageView::EnvironmentPageView(const EnvironmentStatus& environmentStatus, const QString& brewCommand,
                                         const QString& masCommand, DetailViewModel& detailViewModel,
                                         UrlOpener* urlOpener, Clipboard* clipboard, QWidget* parent)
    : QWidget(parent), m_status(environmentStatus), m_brewCommand(brewCommand), m_masCommand(masCommand),
      m_detailViewModel(detailViewModel), m_urlOpener(urlOpener), m_clipboard(clipboard),
      m_didCopyBrew(new CopyFlag(this)), m_didCopyMAS(new CopyFlag(this))
{
    setObjectName(QStringLiteral("environmentPage"));
    m_root = new QVBoxLayout(this);
    m_root->setContentsMargins(0, 0, 0, 0);
    rebuild();
}

void EnvironmentPageView::setEnvironmentStatus(const EnvironmentStatus& environmentStatus)
{
    if (environmentStatus.hasHomebrew == m_status.hasHomebrew && environmentStatus.hasMAS == m_status.hasMAS) {
        m_status = environmentStatus;
        return;
    }
    m_status = environmentStatus;
    rebuild();
}

QWidget* EnvironmentPageView::installedRow(const QString& title, QWidget* parent)
{
    auto* card = new OnboardingCard(OnboardingCard::Fill::color, SystemColors::green(), parent);
    card->setObjectName(QStringLiteral("installedRow"));
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    row->addWidget(OnboardingStyle::symbol(QStringLiteral("checkmark.circle.fill"), 20, SystemColors::green(), card));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(OnboardingStyle::label(title, OnboardingStyle::font(TextStyles::Style::headline, QFont::DemiBold),
                                            OnboardingStyle::Tone::primary, card, "installedTitle"));
    texts->addWidget(OnboardingStyle::label(QStringLiteral("Installed and ready"),
                                            OnboardingStyle::font(TextStyles::Style::subheadline),
                                            OnboardingStyle::Tone::secondary, card, "installedStatus"));
    row->addLayout(texts, 1);
    card->contentLayout()->addLayout(row);
    return card;
}

void EnvironmentPageView::rebuild()
{
    if (m_body) {
        m_root->removeWidget(m_body);
        // Out of the tree at once, deleted once the click that may have led here is over.
        m_body->hide();
        m_body->setParent(nullptr);
        m_body->deleteLater();
    }
    const bool allToolsPresent = m_status.hasHomebrew && m_status.hasMAS;
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("environmentContent"));
    auto* column = new QVBoxLayout(content);
    column->setSpacing(24);

    auto* rows = new QWidget(content);
    rows->setObjectName(QStringLiteral("environmentRows"));
    rows->setFixedWidth(550);
    auto* rowColumn = new QVBoxLayout(rows);
    rowColumn->setContentsMargins(0, 0, 0, 0);
    rowColumn->setSpacing(16);

    if (m_status.hasHomebrew) {
        rowColumn->addWidget(installedRow(QStringLiteral("Homebrew"), rows));
    } else {
        auto* card = new OnboardingCard(rows);
        auto* entry = new InstallSourceView(
            {QStringLiteral("Install Homebrew"),
             QStringLiteral("Used to detect app updates from Homebrew and to adopt apps"), m_brewCommand,
             ToolInstallCommands::homebrewHomePage(), false},
            *m_didCopyBrew, m_urlOpener, m_clipboard, card);
        entry->setObjectName(QStringLiteral("brewInstallEntry"));
        connect(entry, &InstallSourceView::openTerminalClicked, this,
                [this] { TerminalAlert::run(this, m_detailViewModel, m_brewCommand, m_clipboard); });
        card->contentLayout()->addWidget(entry);
        rowColumn->addWidget(card);
    }
    if (m_status.hasMAS) {
        rowColumn->addWidget(installedRow(QStringLiteral("MAS CLI"), rows));
    } else {
        auto* card = new OnboardingCard(rows);
        auto* entry = new InstallSourceView({QStringLiteral("Install MAS CLI"),
                                             QStringLiteral("Used to detect Mac App Store app updates"), m_masCommand,
                                             ToolInstallCommands::masRepositoryPage(), !m_status.hasHomebrew},
                                            *m_didCopyMAS, m_urlOpener, m_clipboard, card);
        entry->setObjectName(QStringLiteral("masInstallEntry"));
        connect(entry, &InstallSourceView::openTerminalClicked, this,
                [this] { TerminalAlert::run(this, m_detailViewModel, m_masCommand, m_clipboard); });
        card->contentLayout()->addWidget(entry);
        rowColumn->addWidget(card);
    }

    if (allToolsPresent) {
        column->addStretch(1);
        column->addLayout(addTourPageHeader(
            content, QStringLiteral("Environment Setup"),
            QStringLiteral("You can install these tools to unlock all of Norvelle's features"), 8));
        column->addWidget(rows, 0, Qt::AlignHCenter);
        column->addStretch(1);
        m_body = content;
    } else {
        column->setContentsMargins(16, 20, 16, 20);
        column->addLayout(addTourPageHeader(content, QStringLiteral("Environment Check"),
                                            QStringLiteral("These tools unlock all of Norvelle's features"), 8));
        column->addWidget(rows, 0, Qt::AlignHCenter);
        column->addStretch(1);
        auto* scroll = new QScrollArea;
        scroll->setObjectName(QStringLiteral("environmentScroll"));
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->viewport()->setAutoFillBackground(false);
        content->setAutoFillBackground(false);
        scroll->setWidget(content);
        m_body = scroll;
    }
    m_root->addWidget(m_body);
}

} // namespace norvelle
