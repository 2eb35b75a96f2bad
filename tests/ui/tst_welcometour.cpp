#include "OnboardingTestWorld.h"
#include "TestGate.h"

#include "ui/onboarding/EnvironmentPageView.h"
#include "ui/onboarding/InstallSourceView.h"
#include "ui/onboarding/OnboardingStyle.h"
#include "ui/onboarding/SourcesPageView.h"
#include "ui/onboarding/ToolInstallCommands.h"
#include "ui/onboarding/WelcomeTourRules.h"
#include "ui/onboarding/WelcomeTourView.h"
#include "ui/settings/PermissionsView.h"
#include "ui/settings/SettingsAppearance.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

using namespace norvelle;
using namespace norvelle::test;
using Page = WelcomeTourRules::Page;
using Status = std::optional<EnvironmentStatus>;

Q_DECLARE_METATYPE(Status)
Q_DECLARE_METATYPE(QList<Theme>)

class TestWelcomeTour : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void navigation_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<Status>("status");
        QTest::addColumn<bool>("checking");
        QTest::addColumn<Page>("page");
        QTest::addColumn<bool>("back");
        QTest::addColumn<bool>("toolPair");
        QTest::addColumn<QString>("forward");
        QTest::addColumn<QString>("check");

        const Status none;
        const Status both = tools(true, true);
        const Status noMas = tools(true, false);
        QTest::newRow("first page") << 0 << none << false << Page::welcome << false << false << "Next" << "Check Again";
        QTest::newRow("sources") << 1 << both << false << Page::sources << true << false << "Next" << "Check Again";
        QTest::newRow("before a check page 4 closes") << 4 << none << false << Page::ready << true << false
                                                      << "Get Started" << "Check Again";
        QTest::newRow("both tools: environment page closes")
            << 4 << both << false << Page::environment << true << false << "Get Started" << "Check Again";
        QTest::newRow("tool missing: environment page goes on")
            << 4 << noMas << false << Page::environment << true << true << "Next" << "Check Again";
        QTest::newRow("checking") << 4 << Status(tools(false, false)) << true << Page::environment << true << true << "Next"
                                  << "Checking...";
        QTest::newRow("tool missing: ready page closes") << 5 << noMas << false << Page::ready << true << false
                                                         << "Get Started" << "Check Again";
        // Reopened on page 5 after a check found both tools: forward still finishes.
        QTest::newRow("past the last page") << 5 << both << false << Page::ready << true << false << "Get Started"
                                            << "Check Again";
        QTest::newRow("tool pair only on page 4") << 3 << noMas << false << Page::permissions << true << false
                                                  << "Next" << "Check Again";
    }

    void navigation()
    {
        QFETCH(int, index);
        QFETCH(Status, status);
        QFETCH(bool, checking);
        const auto bar = WelcomeTourRules::navigationBar(index, status, checking);
        QTEST(WelcomeTourRules::page(index, status), "page");
        QTEST(bar.showsBack, "back");
        QTEST(bar.showsToolPair, "toolPair");
        QTEST(bar.forwardLabel, "forward");
        QTEST(bar.checkLabel, "check");
        QCOMPARE(bar.checkEnabled, !checking);
    }

    void boldSpans_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("html");
        QTest::newRow("one span") << "Norvelle **does not rely** on it" << "Norvelle <b>does not rely</b> on it";
        QTest::newRow("markup stays text") << "a<b> **c&d**" << "a&lt;b&gt; <b>c&amp;d</b>";
        QTest::newRow("unpaired") << "x **y" << "x **y";
    }

    void boldSpans()
    {
        QFETCH(QString, text);
        QTEST(SourcesPageView::boldSpans(text), "html");
    }

    // A first start with mas missing: every page in turn, the tool pair on the environment
    // page, "Skip For Now" to the closing page and "Get Started" into the main window.
    void walkThroughToTheMainWindow()
    {
        OnboardingTestWorld world;
        world.environment->setStatus(tools(true, false));
        world.appState.setHasCompletedWelcomeTour(false);
        MainWindow window(world.onboardingEnvironment());
        window.show();
        auto* tour = window.findChild<WelcomeTourView*>();
        QVERIFY(tour);
        QTRY_VERIFY(world.tour.environmentStatus().has_value());
        auto* back = tour->findChild<QPushButton*>("backButton");
        auto* forward = tour->findChild<QPushButton*>("forwardButton");
        auto* pair = tour->findChild<QWidget*>("toolPair");
        QVERIFY(!back->isVisible());

        const QList<Page> pages{Page::welcome, Page::sources, Page::adoption, Page::permissions, Page::environment};
        for (int i = 0; i < pages.size(); ++i) {
            QCOMPARE(tour->currentPage(), pages.at(i));
            QTRY_VERIFY(tour->currentPageWidget()->graphicsEffect() == nullptr); // faded in
            renderBothThemes(&window, QStringLiteral("tour-page-%1").arg(i), QSize(860, 560));
            if (i < pages.size() - 1)
                QTest::keyClick(forward, Qt::Key_Return);
        }
        QVERIFY(back->isVisible());
        QVERIFY(pair->isVisible());
        QCOMPARE(forward->text(), QStringLiteral("Next"));
        tour->findChild<QPushButton*>("skipForNowButton")->click();
        QCOMPARE(tour->currentPage(), Page::ready);
        QCOMPARE(forward->text(), QStringLiteral("Get Started"));
        QVERIFY(!pair->isVisible());
        QTRY_VERIFY(tour->currentPageWidget()->graphicsEffect() == nullptr);
        renderBothThemes(&window, QStringLiteral("tour-page-5"), QSize(860, 560));

        forward->click();
        QVERIFY(world.appState.hasCompletedWelcomeTour());
        QVERIFY(window.contentView() != nullptr);
    }

    // "Show Welcome Tour" at run time: the tour returns on the page where it was finished and
    // checks the environment again.
    void shownAgainAtRunTime()
    {
        OnboardingTestWorld world;
        world.appState.setHasCompletedWelcomeTour(false);
        MainWindow window(world.onboardingEnvironment());
        window.show();
        QTRY_COMPARE(world.environment->checkCount(), 1);
        world.tour.skipToEnd();
        window.findChild<QPushButton*>("forwardButton")->click();
        QVERIFY(window.contentView() != nullptr);
        // The content's own discovery checks the environment too; let it end first.
        QTRY_COMPARE(world.coordinator.callCount(Op::discoverApplications), 1);
        QTRY_VERIFY(!world.sidebar.isDiscovering());
        const int checksBefore = world.environment->checkCount();

        world.appState.setHasCompletedWelcomeTour(false);
        auto* tour = window.findChild<WelcomeTourView*>();
        QCOMPARE(window.findChild<QStackedWidget*>("rootStack")->currentWidget(), tour);
        QCOMPARE(world.tour.currentPageIndex(), 4);
        QTRY_COMPARE(world.environment->checkCount(), checksBefore + 1);
    }

    // "Check Again" stays disabled and reads "Checking..." until the check ends; a check that
    // finds both tools removes the pair and turns "Next" into "Get Started" on page 4.
    void checkAgain()
    {
        OnboardingTestWorld world;
        world.environment->setStatus(tools(false, false));
        world.tour.checkEnvironment();
        QTRY_VERIFY(world.tour.environmentStatus().has_value());
        world.tour.skipToEnd();
        world.tour.previousPage();
        WelcomeTourView tour(world.tour, world.detail, world.urlOpener.get(), &world.clipboard);
        QCOMPARE(tour.currentPage(), Page::environment);
        auto* check = tour.findChild<QPushButton*>("checkAgainButton");

        auto gate = world.gate();
        world.environment->setStatus(tools(true, true));
        world.environment->setNextCheckGate(gate);
        check->click();
        QCOMPARE(check->text(), QStringLiteral("Checking..."));
        QVERIFY(!check->isEnabled());
        gate->open();
        QTRY_VERIFY(check->isEnabled());
        QCOMPARE(check->text(), QStringLiteral("Check Again"));
        QVERIFY(tour.findChild<QWidget*>("toolPair")->isHidden());
        QCOMPARE(tour.findChild<QPushButton*>("forwardButton")->text(), QStringLiteral("Get Started"));
        QCOMPARE(labelTexts(&tour, "pageTitle"), QStringList{"Environment Setup"});
        QCOMPARE(labelTexts(&tour, "installedTitle"), (QStringList{"Homebrew", "MAS CLI"}));
    }

    // Both tools missing: the mas entry cannot run before Homebrew exists; the Homebrew entry
    // runs its fixed command at once, without asking, and "Learn More" opens the project page.
    void environmentPageEntries()
    {
        OnboardingTestWorld world;
        world.detail.setSuppressTerminalAlert(false);
        EnvironmentPageView page(tools(false, false), ToolInstallCommands::brewCommand(),
                                 ToolInstallCommands::masCommand(), world.detail, world.urlOpener.get(),
                                 &world.clipboard);
        auto* brew = page.findChild<InstallSourceView*>("brewInstallEntry");
        auto* mas = page.findChild<InstallSourceView*>("masInstallEntry");
        QVERIFY(brew && mas);
        QVERIFY(brew->openTerminalButton()->isEnabled());
        QVERIFY(!mas->openTerminalButton()->isEnabled());
        QVERIFY(mas->learnMoreButton()->isEnabled());
        QCOMPARE(labelTexts(&page, "pageTitle"), QStringList{"Environment Check"});

        brew->openTerminalButton()->click();
        QCOMPARE(world.launcher->commandLines(), QStringList{ToolInstallCommands::brewCommand()});
        mas->learnMoreButton()->click();
        QCOMPARE(world.urlOpener->opened(), QList<QUrl>{QUrl(QStringLiteral("https://github.com/mas-cli/mas"))});
        renderBothThemes(&page, QStringLiteral("tour-environment-both-missing"), QSize(860, 700));

        page.setEnvironmentStatus(tools(true, false));
        QTRY_COMPARE(labelTexts(&page, "installedTitle"), QStringList{"Homebrew"});
        mas = page.findChild<InstallSourceView*>("masInstallEntry");
        QVERIFY(mas->openTerminalButton()->isEnabled());
    }

    // The tour's permission switch is the settings window's: it writes the shared flag.
    // Enabled, a prominent button wears the accent; disabled, the plain disabled look of the
    // theme applied last, whichever way the theme was switched at run time.
    void prominentButtonFollowsTheTheme_data()
    {
        QTest::addColumn<QList<Theme>>("themes");
        QTest::newRow("light to dark") << QList<Theme>{Theme::light, Theme::dark};
        QTest::newRow("dark to light") << QList<Theme>{Theme::dark, Theme::light};
    }
    void prominentButtonFollowsTheTheme()
    {
        QFETCH(QList<Theme>, themes);
        const QPalette original = QApplication::palette();
        QWidget page;
        QPushButton* enabled = OnboardingStyle::prominentButton(QStringLiteral("Next"), "next", &page);
        QPushButton* disabled = OnboardingStyle::prominentButton(QStringLiteral("Done"), "done", &page);
        disabled->setEnabled(false);
        for (const Theme theme : themes) {
            QApplication::setPalette(SettingsAppearance::palette(theme));
            QCoreApplication::processEvents();
        }
        const QPalette expected = SettingsAppearance::palette(themes.last());
        const QPalette shownEnabled = enabled->palette();
        const QPalette shownDisabled = disabled->palette();
        QApplication::setPalette(original);
        QCOMPARE(shownEnabled.color(QPalette::Active, QPalette::Button), expected.color(QPalette::Highlight));
        for (const auto role : {QPalette::Button, QPalette::ButtonText})
            QCOMPARE(shownDisabled.color(QPalette::Disabled, role), expected.color(QPalette::Disabled, role));
    }

    void permissionsPageSharesTheFlag()
    {
        OnboardingTestWorld world;
        world.appState.setHasAppManagementPermission(false);
        for (int i = 0; i < 3; ++i)
            world.tour.nextPage();
        WelcomeTourView tour(world.tour, world.detail, nullptr, nullptr);
        QCOMPARE(tour.currentPage(), Page::permissions);
        auto* view = tour.findChild<PermissionsView*>();
        view->appManagementToggle()->click();
        QVERIFY(world.appState.hasAppManagementPermission());
    }
};

QTEST_MAIN(TestWelcomeTour)
#include "tst_welcometour.moc"
