#include "OnboardingTestWorld.h"
#include "TestGate.h"

#include "ui/main/MissingSourcesHeaderView.h"
#include "ui/main/SidebarView.h"
#include "ui/onboarding/CodeCommandView.h"
#include "ui/main/components/CopyFlag.h"
#include "ui/onboarding/InstallSourceView.h"
#include "ui/onboarding/InstallSourcesRules.h"
#include "ui/onboarding/InstallSourcesSheetView.h"
#include "ui/onboarding/ToolInstallCommands.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace norvelle;
using namespace norvelle::test;
using Page = InstallSourcesRules::Page;

namespace {

InstallSourcesSheetView::Timing instant()
{
    return {std::chrono::milliseconds(0), std::chrono::milliseconds(0)};
}

QStringList mainCalls(const FakeAppCoordinator& coordinator)
{
    QStringList calls;
    for (const QString& call : coordinator.calls())
        if (call == QLatin1String("discoverApplications") || call == QLatin1String("checkForUpdates"))
            calls.append(call);
    return calls;
}

} // namespace

class TestInstallSources : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sheetContent_data()
    {
        QTest::addColumn<bool>("missingBrew");
        QTest::addColumn<bool>("missingMAS");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("subtitle");
        QTest::addColumn<QStringList>("benefits");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("masEnabled");

        const QString one = QStringLiteral("Install this tool to enable Norvelle's full feature set");
        QTest::newRow("only brew missing") << true << false << "Missing Source" << one
                                           << QStringList{"Brew App Updates", "Brew Cask Adoption"}
                                           << QStringList{"Install Homebrew"} << false;
        QTest::newRow("only mas missing") << false << true << "Missing Source" << one
                                          << QStringList{"App Store Updates"}
                                          << QStringList{"Install Mac App Store CLI"} << true;
        QTest::newRow("both missing")
            << true << true << "Missing Sources"
            << "Install these tools to enable Norvelle's full feature set"
            << QStringList{"Brew App Updates", "Brew Cask Adoption", "App Store Updates"}
            << QStringList{"Install Homebrew", "Install Mac App Store CLI"} << false;
    }

    void sheetContent()
    {
        QFETCH(bool, missingBrew);
        QFETCH(bool, missingMAS);
        OnboardingTestWorld world;
        InstallSourcesSheetView sheet(missingBrew, missingMAS, world.sidebar, world.detail, world.store,
                                      world.urlOpener.get(), &world.clipboard);
        QCOMPARE(sheet.page(), Page::main);
        QTEST(labelText(&sheet, "sheetTitle"), "title");
        QTEST(labelText(&sheet, "sheetSubtitle"), "subtitle");
        QTEST(labelTexts(&sheet, "benefitTitle"), "benefits");
        QTEST(labelTexts(&sheet, "installTitle"), "entries");
        if (auto* mas = sheet.findChild<InstallSourceView*>("masInstallEntry")) {
            QTEST(mas->openTerminalButton()->isEnabled(), "masEnabled");
            QCOMPARE(labelText(mas, "installDescription"), InstallSourcesRules::masDescription(missingBrew));
        }
        renderBothThemes(&sheet, QStringLiteral("install-sources-%1").arg(QTest::currentDataTag()).replace(' ', '-'),
                         sheet.size());
    }

    void commandFont_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("caption");
        QTest::newRow("50 characters") << QString(50, QLatin1Char('x')) << false;
        QTest::newRow("51 characters") << QString(51, QLatin1Char('x')) << true;
        QTest::newRow("brew installer") << ToolInstallCommands::brewCommand() << true;
        QTest::newRow("mas") << ToolInstallCommands::masCommand() << false;
        // Counted as the user sees them: 50 accented letters built from two code points each.
        QTest::newRow("combining marks") << QString(50, QLatin1Char('e')).replace(QLatin1String("e"), QStringLiteral("e\u0301"))
                                         << false;
    }

    void commandFont()
    {
        QFETCH(QString, command);
        QTEST(CodeCommandView::usesCaptionFont(command), "caption");
    }

    // The copy puts the whole line on the clipboard and shows the confirmation until one delay
    // after the first press; a second press does not prolong it.
    void copyConfirmation()
    {
        RecordingClipboard clipboard;
        CopyFlag copied;
        copied.setResetDelay(std::chrono::milliseconds(1000));
        CodeCommandView view(ToolInstallCommands::masCommand(), copied, &clipboard);
        // Light text on the near-black box, whatever the theme.
        QCOMPARE(view.commandLabel()->palette().color(QPalette::WindowText), QColor(Qt::white));
        view.copyButton()->click();
        QCOMPARE(clipboard.copied, QStringList{"brew install mas"});
        QCOMPARE(view.copyButton()->toolTip(), QStringLiteral("Copied!"));
        QElapsedTimer sinceFirst;
        sinceFirst.start();
        QTest::qWait(600);
        view.copyButton()->click();
        QTRY_COMPARE(view.copyButton()->toolTip(), QStringLiteral("Copy command"));
        QVERIFY(sinceFirst.elapsed() < 1500);
    }

    // "Open in Terminal" asks first; "Cancel" runs nothing; ticking the box and "Open Terminal"
    // runs the pending command and stops the asking for the run.
    void terminalConfirmation()
    {
        OnboardingTestWorld world;
        InstallSourcesSheetView sheet(false, true, world.sidebar, world.detail, world.store, nullptr, nullptr);
        auto* mas = sheet.findChild<InstallSourceView*>("masInstallEntry");
        mas->openTerminalButton()->click();
        QMessageBox* alert = sheet.terminalAlert();
        QVERIFY(alert);
        QCOMPARE(alert->text(), QStringLiteral("Install MAS CLI via Terminal?"));
        alert->findChild<QPushButton*>("terminalAlertCancel")->click();
        QVERIFY(world.launcher->commandLines().isEmpty());
        QCOMPARE(sheet.pendingCommand(), std::optional(QStringLiteral("brew install mas")));

        mas->openTerminalButton()->click();
        QTRY_VERIFY(sheet.terminalAlert());
        alert = sheet.terminalAlert();
        alert->findChild<QCheckBox*>("terminalAlertSuppress")->setChecked(true);
        alert->findChild<QPushButton*>("terminalAlertOpen")->click();
        QCOMPARE(world.launcher->commandLines(), QStringList{"brew install mas"});
        QVERIFY(world.detail.suppressTerminalAlert());

        QTRY_VERIFY(!world.detail.isLaunchingTerminal());
        mas->openTerminalButton()->click();
        QTRY_VERIFY(!sheet.terminalAlert());
        QCOMPARE(world.launcher->commandLines().size(), 2);
    }

    // A refresh that finds both tools shows "All Tools Installed!" and rediscovers, then checks.
    void refreshFindsBothTools()
    {
        OnboardingTestWorld world;
        world.discovery->setApplications({OnboardingTestWorld::app(QStringLiteral("Alpha"))});
        world.environment->setStatus(tools(true, true));
        world.store.setEnvironmentStatus(tools(false, false));
        InstallSourcesSheetView sheet(true, true, world.sidebar, world.detail, world.store, nullptr, nullptr, nullptr,
                                      instant());
        sheet.findChild<QPushButton*>("refreshButton")->click();
        QCOMPARE(sheet.page(), Page::refreshing);
        QTRY_COMPARE(sheet.page(), Page::allInstalled);
        QCOMPARE(world.store.environmentStatus(), std::optional(tools(true, true)));
        QTRY_COMPARE(mainCalls(world.coordinator), (QStringList{"discoverApplications", "checkForUpdates"}));
        QTRY_VERIFY(!sheet.isRefreshingEnvironment());
        QCOMPARE(labelText(&sheet, "statusTitle"), QStringLiteral("All Tools Installed!"));
        renderBothThemes(&sheet, QStringLiteral("install-sources-all-installed"), sheet.size());
    }

    // Finding Homebrew only: the sheet narrows to mas, now installable; nothing is rediscovered.
    void refreshFindsOneTool()
    {
        OnboardingTestWorld world;
        world.environment->setStatus(tools(true, false));
        InstallSourcesSheetView sheet(true, true, world.sidebar, world.detail, world.store, nullptr, nullptr, nullptr,
                                      instant());
        sheet.refreshEnvironment();
        QTRY_VERIFY(!sheet.isRefreshingEnvironment());
        QCOMPARE(labelText(&sheet, "sheetTitle"), QStringLiteral("Missing Source"));
        QCOMPARE(labelTexts(&sheet, "installTitle"), QStringList{"Install Mac App Store CLI"});
        QVERIFY(sheet.findChild<InstallSourceView*>("masInstallEntry")->openTerminalButton()->isEnabled());
        QVERIFY(mainCalls(world.coordinator).isEmpty());
    }

    // Closed while the check runs, the refresh still stores the status and rediscovers.
    void refreshOutlivesTheSheet()
    {
        OnboardingTestWorld world;
        world.discovery->setApplications({OnboardingTestWorld::app(QStringLiteral("Alpha"))});
        auto gate = world.gate();
        world.environment->setStatus(tools(true, true));
        world.environment->setNextCheckGate(gate);
        auto* sheet = new InstallSourcesSheetView(false, true, world.sidebar, world.detail, world.store, nullptr,
                                                  nullptr, nullptr, instant());
        sheet->refreshEnvironment();
        QTRY_COMPARE(gate->arrivals(), 1);
        delete sheet;
        gate->open();
        QTRY_COMPARE(world.store.environmentStatus(), std::optional(tools(true, true)));
        QTRY_COMPARE(mainCalls(world.coordinator), (QStringList{"discoverApplications", "checkForUpdates"}));
    }

    // The banner opens the sheet for the tools the store says are missing; without a known
    // status there is nothing to offer.
    void bannerOpensTheSheet()
    {
        OnboardingTestWorld world;
        world.store.setEnvironmentStatus(tools(true, false));
        SidebarView sidebar(world.onboardingEnvironment());
        sidebar.show();
        sidebar.setShowInstallSourcesSheet(true);
        auto* sheet = sidebar.findChild<InstallSourcesSheetView*>();
        QVERIFY(sheet);
        QVERIFY(!sheet->currentMissingBrew());
        QVERIFY(sheet->currentMissingMAS());
        sheet->findChild<QPushButton*>("doneButton")->click();
        QVERIFY(!sidebar.showInstallSourcesSheet());

        world.store.setEnvironmentStatus(std::nullopt);
        sidebar.setShowInstallSourcesSheet(true);
        QVERIFY(!sidebar.showInstallSourcesSheet());
        QTRY_VERIFY(sidebar.findChild<InstallSourcesSheetView*>() == nullptr);
    }
};

QTEST_MAIN(TestInstallSources)
#include "tst_installsources.moc"
