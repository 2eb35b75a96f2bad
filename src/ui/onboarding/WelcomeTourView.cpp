#include "ui/onboarding/WelcomeTourView.h"

#include "coordinator/AppState.h"
#include "ui/onboarding/AdoptionPageView.h"
#include "ui/onboarding/EnvironmentPageView.h"
#include "ui/onboarding/OnboardingStyle.h"
#include "ui/onboarding/PermissionsPageView.h"
#include "ui/onboarding/ReadyPageView.h"
#include "ui/onboarding/SourcesPageView.h"
#include "ui/onboarding/ToolInstallCommands.h"
#include "ui/onboarding/WelcomePageView.h"
#include "viewmodels/WelcomeTourViewModel.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QShowEvent>
#include <QVBoxLayout>

namespace norvelle {

namespace {

QWidget* slot(QWidget* parent, Qt::Alignment alignment, QPushButton* button)
{
    auto* holder = new QWidget(parent);
    holder->setMinimumWidth(80);
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(button, 0, alignment);
    return holder;
}

} // namespace

WelcomeTourView::WelcomeTourView(WelcomeTourViewModel& viewModel, DetailViewModel& detailViewModel,
                                 UrlOpener* urlOpener, Clipboard* clipboard, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel), m_detailViewModel(detailViewModel), m_urlOpener(urlOpener),
      m_clipboard(clipboard)
{
    setObjectName(QStringLiteral("welcomeTour"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    // A page that needs more room than a small window gives scrolls instead of being squeezed.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("tourPageScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto* pageHolder = new QWidget(scroll);
    pageHolder->setAutoFillBackground(false);
    m_pageArea = new QVBoxLayout(pageHolder);
    m_pageArea->setContentsMargins(0, 0, 0, 0);
    scroll->setWidget(pageHolder);
    column->addWidget(scroll, 1);

    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("tourNavigationBar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(12);
    m_back = OnboardingStyle::button(QStringLiteral("Back"), "backButton", bar, true);
    row->addWidget(slot(bar, Qt::AlignLeft, m_back));
    row->addStretch(1);

    m_toolPair = new QWidget(bar);
    m_toolPair->setObjectName(QStringLiteral("toolPair"));
    auto* pair = new QHBoxLayout(m_toolPair);
    pair->setContentsMargins(0, 0, 0, 0);
    pair->setSpacing(12);
    m_skip = OnboardingStyle::linkButton(QStringLiteral("Skip For Now"), "skipForNowButton", m_toolPair, true);
    pair->addWidget(m_skip);
    m_checkSpinner = new QProgressBar(m_toolPair);
    m_checkSpinner->setObjectName(QStringLiteral("checkSpinner"));
    m_checkSpinner->setRange(0, 0);
    m_checkSpinner->setTextVisible(false);
    m_checkSpinner->setFixedSize(24, 6);
    pair->addWidget(m_checkSpinner);
    m_check = OnboardingStyle::button(QStringLiteral("Check Again"), "checkAgainButton", m_toolPair, true);
    pair->addWidget(m_check);
    row->addWidget(m_toolPair);

    m_forward = OnboardingStyle::prominentButton(QStringLiteral("Next"), "forwardButton", bar, true);
    row->addWidget(slot(bar, Qt::AlignRight, m_forward));
    column->addWidget(bar);

    auto* returnKey = new QShortcut(QKeySequence(Qt::Key_Return), this);
    returnKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(returnKey, &QShortcut::activated, m_forward, &QPushButton::click);
    auto* enterKey = new QShortcut(QKeySequence(Qt::Key_Enter), this);
    enterKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(enterKey, &QShortcut::activated, m_forward, &QPushButton::click);

    connect(m_back, &QPushButton::clicked, this, [this] {
        if (m_viewModel.currentPageIndex() > 0)
            m_viewModel.previousPage();
    });
    connect(m_forward, &QPushButton::clicked, this, &WelcomeTourView::goForward);
    connect(m_skip, &QPushButton::clicked, this, [this] { m_viewModel.skipToEnd(); });
    connect(m_check, &QPushButton::clicked, this, [this] { m_viewModel.recheckEnvironment(); });

    connect(&m_viewModel, &WelcomeTourViewModel::currentPageIndexChanged, this, [this] {
        showPage(true);
        updateBar();
    });
    connect(&m_viewModel, &WelcomeTourViewModel::environmentStatusChanged, this, [this] {
        showPage(false);
        updateBar();
    });
    connect(&m_viewModel, &WelcomeTourViewModel::isCheckingEnvironmentChanged, this, &WelcomeTourView::updateBar);

    showPage(false);
    updateBar();
}

void WelcomeTourView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Coming on screen (first, or again after "Show Welcome Tour"), not a window being restored.
    if (!event->spontaneous())
        m_viewModel.checkEnvironment();
}

void WelcomeTourView::goForward()
{
    const auto bar = WelcomeTourRules::navigationBar(m_viewModel.currentPageIndex(), m_viewModel.environmentStatus(),
                                                     m_viewModel.isCheckingEnvironment());
    if (bar.forwardFinishes)
        m_viewModel.appState().setHasCompletedWelcomeTour(true);
    else
        m_viewModel.nextPage();
}

QWidget* WelcomeTourView::buildPage(WelcomeTourRules::Page page)
{
    using Page = WelcomeTourRules::Page;
    switch (page) {
    case Page::welcome: return new WelcomePageView;
    case Page::sources: return new SourcesPageView;
    case Page::adoption: return new AdoptionPageView;
    case Page::permissions: return new PermissionsPageView(m_viewModel.appState());
    case Page::environment:
        return new EnvironmentPageView(*m_viewModel.environmentStatus(), ToolInstallCommands::brewCommand(),
                                       ToolInstallCommands::masCommand(), m_detailViewModel, m_urlOpener,
                                       m_clipboard);
    case Page::ready: return new ReadyPageView;
    }
    return new QWidget;
}

void WelcomeTourView::showPage(bool animated)
{
    const auto status = m_viewModel.environmentStatus();
    const WelcomeTourRules::Page kind = WelcomeTourRules::page(m_viewModel.currentPageIndex(), status);
    if (m_pageKind == kind) {
        if (kind == WelcomeTourRules::Page::environment && status)
            static_cast<EnvironmentPageView*>(m_page)->setEnvironmentStatus(*status);
        return;
    }
    if (m_page) {
        m_pageArea->removeWidget(m_page);
        // Out of the tree at once, deleted once the click that may have led here is over.
        m_page->hide();
        m_page->setParent(nullptr);
        m_page->deleteLater();
    }
    m_pageKind = kind;
    m_page = buildPage(kind);
    m_pageArea->addWidget(m_page);
    if (animated && isVisible()) {
        auto* effect = new QGraphicsOpacityEffect(m_page);
        effect->setOpacity(0);
        m_page->setGraphicsEffect(effect);
        auto* fade = new QPropertyAnimation(effect, "opacity", effect);
        fade->setDuration(200);
        fade->setStartValue(0.0);
        fade->setEndValue(1.0);
        QWidget* page = m_page;
        connect(fade, &QPropertyAnimation::finished, page, [page] { page->setGraphicsEffect(nullptr); });
        fade->start();
    }
}

void WelcomeTourView::updateBar()
{
    const auto bar = WelcomeTourRules::navigationBar(m_viewModel.currentPageIndex(), m_viewModel.environmentStatus(),
                                                     m_viewModel.isCheckingEnvironment());
    m_back->setVisible(bar.showsBack);
    m_toolPair->setVisible(bar.showsToolPair);
    m_check->setText(bar.checkLabel);
    m_check->setEnabled(bar.checkEnabled);
    m_checkSpinner->setVisible(!bar.checkEnabled);
    m_forward->setText(bar.forwardLabel);
}

} // namespace norvelle
