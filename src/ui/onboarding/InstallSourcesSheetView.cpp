#include "ui/onboarding/InstallSourcesSheetView.h"

#include "coordinator/AppCoordinator.h"
#include "services/ApplicationStore.h"
#include "services/EnvironmentService.h"
#include "ui/detail/TerminalAlert.h"
#include "ui/main/FollowUp.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/CopyFlag.h"
#include "ui/onboarding/InstallSourceView.h"
#include "ui/onboarding/OnboardingStyle.h"
#include "ui/onboarding/RefreshEnvironmentView.h"
#include "ui/onboarding/SourceBenefitView.h"
#include "ui/onboarding/ToolInstallCommands.h"
#include "util/Async.h"
#include "viewmodels/DetailViewModel.h"
#include "viewmodels/SidebarViewModel.h"

#include <QFrame>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace norvelle {

namespace {

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    OnboardingStyle::setTone(line, OnboardingStyle::Tone::tertiary);
    return line;
}

} // namespace

InstallSourcesSheetView::InstallSourcesSheetView(bool missingBrew, bool missingMAS,
                                                 SidebarViewModel& sidebarViewModel,
                                                 DetailViewModel& detailViewModel, ApplicationStore& store,
                                                 UrlOpener* urlOpener, Clipboard* clipboard, QWidget* parent,
                                                 Timing timing)
    : QDialog(parent), m_sidebarViewModel(sidebarViewModel), m_detailViewModel(detailViewModel), m_store(store),
      m_urlOpener(urlOpener), m_clipboard(clipboard), m_timing(timing), m_didCopyBrew(new CopyFlag(this)),
      m_didCopyMAS(new CopyFlag(this)), m_currentMissingBrew(missingBrew), m_currentMissingMAS(missingMAS)
{
    setObjectName(QStringLiteral("installSourcesSheet"));
    setWindowTitle(QStringLiteral("Install Sources"));
    setWindowModality(Qt::WindowModal);
    setFixedSize(RefreshEnvironmentView::pageWidth, RefreshEnvironmentView::pageHeight);
    m_root = new QVBoxLayout(this);
    m_root->setContentsMargins(0, 0, 0, 0);
    m_root->setSpacing(0);
    rebuild();
}

InstallSourcesRules::Page InstallSourcesSheetView::page() const
{
    return InstallSourcesRules::page(m_currentMissingBrew, m_currentMissingMAS, m_isRefreshingEnvironment);
}

void InstallSourcesSheetView::rebuild()
{
    if (m_body) {
        m_root->removeWidget(m_body);
        // Out of the tree at once, deleted once the click that may have led here is over.
        m_body->hide();
        m_body->setParent(nullptr);
        m_body->deleteLater();
    }
    switch (page()) {
    case InstallSourcesRules::Page::allInstalled: {
        auto* done = new RefreshEnvironmentView(
            {QStringLiteral("checkmark.circle.fill"), SystemColors::green(), QStringLiteral("All Tools Installed!"),
             QStringLiteral("Norvelle can now automatically check for and install updates from all sources"), false,
             false},
            this);
        connect(done, &RefreshEnvironmentView::doneClicked, this, &QDialog::accept);
        m_body = done;
        break;
    }
    case InstallSourcesRules::Page::refreshing: {
        auto* refreshing = new RefreshEnvironmentView({std::nullopt, QColor(), QStringLiteral("Refreshing"),
                                                       QStringLiteral("Discovering installed tools..."), true, true},
                                                      this);
        connect(refreshing, &RefreshEnvironmentView::doneClicked, this, &QDialog::accept);
        m_body = refreshing;
        break;
    }
    case InstallSourcesRules::Page::main:
        m_body = buildMainContent();
        break;
    }
    m_root->addWidget(m_body);
    if (auto* done = m_body->findChild<QPushButton*>(QStringLiteral("doneButton")))
        done->setFocus();
}

QWidget* InstallSourcesSheetView::buildMainContent()
{
    using Style = TextStyles::Style;
    using Tone = OnboardingStyle::Tone;
    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("installSourcesContent"));
    content->setFixedSize(RefreshEnvironmentView::pageWidth, RefreshEnvironmentView::pageHeight);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // The header band: the secondary colour at opacity 0.05 over the window.
    auto* header = new QWidget(content);
    header->setObjectName(QStringLiteral("installSourcesHeader"));
    header->setAutoFillBackground(true);
    OnboardingStyle::followPalette(header, [](QWidget* w, const QPalette& inherited) {
        const QColor window = inherited.color(QPalette::Window);
        const QColor tint = OnboardingStyle::toneColor(inherited, OnboardingStyle::Tone::secondary);
        const QColor band = QColor::fromRgbF(window.redF() * 0.95f + tint.redF() * 0.05f,
                                             window.greenF() * 0.95f + tint.greenF() * 0.05f,
                                             window.blueF() * 0.95f + tint.blueF() * 0.05f);
        QPalette palette = w->palette();
        if (palette.color(QPalette::Window) == band)
            return;
        palette.setColor(QPalette::Window, band);
        w->setPalette(palette);
    });
    auto* headerColumn = new QVBoxLayout(header);
    headerColumn->setContentsMargins(24, 24, 24, 24);
    headerColumn->setSpacing(4);
    headerColumn->addWidget(OnboardingStyle::label(
        InstallSourcesRules::title(m_currentMissingBrew, m_currentMissingMAS),
        OnboardingStyle::sizedFont(20, QFont::Medium), Tone::primary, header, "sheetTitle"));
    headerColumn->addWidget(OnboardingStyle::label(
        InstallSourcesRules::subtitle(m_currentMissingBrew, m_currentMissingMAS),
        OnboardingStyle::font(Style::subheadline), Tone::secondary, header, "sheetSubtitle", Qt::AlignLeft, true));
    column->addWidget(header);

    auto* scroll = new QScrollArea(content);
    scroll->setObjectName(QStringLiteral("installSourcesScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* inner = new QWidget(scroll);
    inner->setAutoFillBackground(false);
    scroll->viewport()->setAutoFillBackground(false);
    auto* stack = new QVBoxLayout(inner);
    stack->setContentsMargins(24, 24, 24, 24);
    stack->setSpacing(24);

    auto* benefits = new QVBoxLayout;
    benefits->setSpacing(16);
    benefits->addWidget(OnboardingStyle::label(QStringLiteral("Benefits"), OnboardingStyle::font(Style::title3, QFont::Medium),
                                               Tone::primary, inner, "benefitsTitle"));
    for (const auto& benefit : InstallSourcesRules::benefits(m_currentMissingBrew, m_currentMissingMAS))
        benefits->addWidget(new SourceBenefitView(benefit, inner));
    stack->addLayout(benefits);

    if (m_currentMissingBrew) {
        stack->addWidget(divider(inner));
        auto* brew = new InstallSourceView(
            {QStringLiteral("Install Homebrew"),
             QStringLiteral("Homebrew is the missing package manager for macOS. It installs the stuff you need that Apple didn't."),
             ToolInstallCommands::brewCommand(), ToolInstallCommands::homebrewHomePage(), false},
            *m_didCopyBrew, m_urlOpener, m_clipboard, inner);
        brew->setObjectName(QStringLiteral("brewInstallEntry"));
        connect(brew, &InstallSourceView::openTerminalClicked, this,
                [this] { openInTerminal(ToolInstallCommands::brewCommand(), CommandType::brew); });
        stack->addWidget(brew);
    }
    if (m_currentMissingMAS) {
        stack->addWidget(divider(inner));
        auto* mas = new InstallSourceView({QStringLiteral("Install Mac App Store CLI"),
                                           InstallSourcesRules::masDescription(m_currentMissingBrew),
                                           ToolInstallCommands::masCommand(), ToolInstallCommands::masRepositoryPage(),
                                           m_currentMissingBrew},
                                          *m_didCopyMAS, m_urlOpener, m_clipboard, inner);
        mas->setObjectName(QStringLiteral("masInstallEntry"));
        connect(mas, &InstallSourceView::openTerminalClicked, this,
                [this] { openInTerminal(ToolInstallCommands::masCommand(), CommandType::mas); });
        stack->addWidget(mas);
    }
    stack->addStretch(1);
    scroll->setWidget(inner);
    column->addWidget(scroll, 1);
    column->addWidget(divider(content));

    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(16, 16, 16, 16);
    footer->addStretch(1);
    auto* refresh = OnboardingStyle::button(
        m_isRefreshingEnvironment ? QStringLiteral("Refreshing...") : QStringLiteral("Refresh"), "refreshButton", content);
    refresh->setEnabled(!m_isRefreshingEnvironment);
    connect(refresh, &QPushButton::clicked, this, &InstallSourcesSheetView::refreshEnvironment);
    footer->addWidget(refresh);
    auto* done = OnboardingStyle::prominentButton(QStringLiteral("Done"), "doneButton", content);
    done->setDefault(true);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    footer->addWidget(done);
    column->addLayout(footer);
    return content;
}

void InstallSourcesSheetView::setIsRefreshingEnvironment(bool value)
{
    if (m_isRefreshingEnvironment == value)
        return;
    m_isRefreshingEnvironment = value;
    rebuild();
}

void InstallSourcesSheetView::openInTerminal(const QString& commandLine, CommandType type)
{
    m_pendingCommand = commandLine;
    m_pendingCommandType = type;
    if (m_detailViewModel.suppressTerminalAlert())
        TerminalAlert::run(this, m_detailViewModel, commandLine, m_clipboard);
    else
        showTerminalAlert();
}

void InstallSourcesSheetView::runPendingCommand()
{
    if (m_pendingCommand)
        TerminalAlert::run(this, m_detailViewModel, *m_pendingCommand, m_clipboard);
}

void InstallSourcesSheetView::showTerminalAlert()
{
    if (m_alert)
        m_alert->close();
    // The same confirmation as the detail pane's, so "Don't ask again" means one thing everywhere.
    m_alert = TerminalAlert::open(this, InstallSourcesRules::alertTitle(m_pendingCommandType),
                                  InstallSourcesRules::alertMessage(m_pendingCommandType), m_detailViewModel,
                                  [this] { runPendingCommand(); });
}

void InstallSourcesSheetView::refreshEnvironment()
{
    if (m_isRefreshingEnvironment)
        return;
    setIsRefreshingEnvironment(true);

    // The refresh outlives a closed sheet: its steps run in the context of the long-lived
    // sidebar view model and reach the sheet only while it still exists.
    const bool bothPresentBefore = !m_currentMissingBrew && !m_currentMissingMAS;
    QPointer<InstallSourcesSheetView> sheet(this);
    SidebarViewModel* sidebar = &m_sidebarViewModel;
    ApplicationStore* store = &m_store;
    std::shared_ptr<EnvironmentService> environment = m_sidebarViewModel.coordinator().environmentService();
    const Timing timing = m_timing;

    auto finish = [sheet, sidebar, timing] {
        QTimer::singleShot(timing.linger, sidebar, [sheet] {
            if (sheet)
                sheet->setIsRefreshingEnvironment(false);
        });
    };
    QTimer::singleShot(timing.settle, sidebar, [sheet, sidebar, store, environment, bothPresentBefore, finish] {
        auto* watcher = new QFutureWatcher<EnvironmentStatus>(sidebar);
        QObject::connect(watcher, &QFutureWatcher<EnvironmentStatus>::finished, watcher,
                         [watcher, sheet, sidebar, store, bothPresentBefore, finish] {
                             watcher->deleteLater();
                             const EnvironmentStatus status = watcher->result();
                             store->setEnvironmentStatus(status);
                             if (sheet) {
                                 sheet->m_currentMissingBrew = !status.hasHomebrew;
                                 sheet->m_currentMissingMAS = !status.hasMAS;
                                 sheet->rebuild();
                             }
                             if (status.hasHomebrew && status.hasMAS && !bothPresentBefore) {
                                 followUp(sidebar->discoverApplications(), sidebar, [sidebar, finish] {
                                     followUp(sidebar->checkForUpdates(), sidebar, finish);
                                 });
                             } else {
                                 finish();
                             }
                         });
        watcher->setFuture(runAsync([environment] { return environment->checkEnvironment(); }));
    });
}

} // namespace norvelle
