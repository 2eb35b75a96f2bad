#include "TerminalTestWorld.h"

#include "FakeUrlOpener.h"
#include "PanelLook.h"
#include "RenderToPng.h"
#include "ui/detail/AdoptionProgressView.h"
#include "ui/detail/BrewAvailableView.h"
#include "ui/detail/BrewCommandView.h"
#include "ui/detail/BrewDoctorSheetView.h"
#include "ui/detail/BrewManualActionView.h"
#include "ui/detail/LinkPolicy.h"
#include "ui/detail/ManualCaskEntryView.h"
#include "ui/detail/RefreshProgressView.h"
#include "ui/detail/UpdateProgressView.h"
#include "ui/main/components/Banner.h"
#include "ui/main/components/SystemColors.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <cmath>

using namespace norvelle;
using namespace norvelle::test;
using ASt = AdoptionProgress::Status;
using St = UpdateProgress::Status;
using Src = Application::Source;

namespace {

AdoptionProgress adoption(const ApplicationPtr& application, ASt status, double fraction)
{
    AdoptionProgress progress;
    progress.id = QUuid::createUuid();
    progress.application = application;
    progress.status = status;
    progress.progress = fraction;
    progress.currentStep = longText();
    progress.startTime = QDateTime::currentDateTime();
    return progress;
}

UpdateProgress record(const ApplicationPtr& application, St status)
{
    UpdateProgress progress;
    progress.id = QUuid::createUuid();
    progress.application = application;
    progress.status = status;
    progress.progress = 0.5;
    progress.currentStep = longText();
    progress.startTime = QDateTime::currentDateTime();
    progress.brewOutput = {QStringLiteral("==> Upgrading figma")};
    return progress;
}

ApplicationPtr figma()
{
    auto app = makeApp(QStringLiteral("Figma"));
    app->setCask(makeCask(QStringLiteral("figma")));
    return app;
}

std::unique_ptr<BrewAvailableView> brewAvailable(
    MainWindowTestWorld& world, const ApplicationPtr& app, BrewAvailableView::Inputs inputs = {},
    std::function<void()> onAdopt = [] {}, FakeUrlOpener* opener = nullptr)
{
    return std::make_unique<BrewAvailableView>(
        app, std::move(inputs), std::move(onAdopt), [] { return QtFuture::makeReadyFuture(); },
        world.appState, world.settingsViewModel, world.detail, opener);
}

bool shown(const QWidget* root, const QString& name)
{
    const auto* widget = root->findChild<QWidget*>(name);
    return widget && widget->isVisibleTo(root);
}

} // namespace

class TestDetailHomebrewPanels : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refreshBanner_data()
    {
        QTest::addColumn<bool>("refreshing");
        QTest::addColumn<int>("cask"); // 0 none, 1 not adopted, 2 adopted
        QTest::addColumn<bool>("update");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QColor>("color");
        QTest::addColumn<QString>("subtitle");
        QTest::addColumn<QString>("failure"); // why the refresh's check could not read a source
        const QString grabbed = QStringLiteral("Grabbed the latest information for Figma");
        const QString done = QStringLiteral("Refreshed Successfully!");
        QTest::newRow("running") << true << 2 << false << "Refreshing..." << SystemColors::secondary()
                                 << QStringLiteral("Checking for changes") << "";
        QTest::newRow("now managed") << false << 2 << false << done << SystemColors::green()
                                     << QStringLiteral("Figma is now managed by Homebrew") << "";
        QTest::newRow("adopted, update left")
            << false << 2 << true << done << SystemColors::green() << grabbed << "";
        QTest::newRow("no cask") << false << 0 << false << done << SystemColors::green() << grabbed << "";
        QTest::newRow("not adopted") << false << 1 << false << done << SystemColors::green() << grabbed << "";
        QTest::newRow("check failed")
            << false << 2 << false << "Check Failed" << SystemColors::orange()
            << QStringLiteral("The last check failed: HTTP status 404") << "HTTP status 404";
        // The pane has no failure line of the application's then, so the panel names none.
        QTest::newRow("catalogue unread")
            << false << 2 << false << "Check Failed" << SystemColors::orange()
            << QStringLiteral("The Homebrew catalogue could not be read: timed out")
            << "The Homebrew catalogue could not be read: timed out";
    }
    void refreshBanner()
    {
        QFETCH(bool, refreshing);
        QFETCH(int, cask);
        QFETCH(bool, update);
        QFETCH(QString, title);
        QFETCH(QColor, color);
        QFETCH(QString, subtitle);
        QFETCH(QString, failure);
        auto app = makeApp(QStringLiteral("Figma"), update ? std::optional(makeUpdate("2.0")) : std::nullopt);
        Cask c = makeCask(QStringLiteral("figma"));
        c.adopted = cask == 2;
        if (cask)
            app->setCask(c);
        if (failure.startsWith(QLatin1String("HTTP")))
            app->setCheckFailure(SourceFailure{SourceFailure::updateFeed(), failure});
        RefreshProgressView view(app, refreshing);
        view.setState(refreshing, failure);
        QCOMPARE(labelText(&view, "refreshTitle"), title);
        QCOMPARE(labelColor(&view, "refreshTitle"), color);
        QCOMPARE(view.findChild<Banner*>()->color(), color);
        QCOMPARE(labelText(&view, "refreshSubtitle"), subtitle);
        // A name long enough for more than two lines is cut after the second.
        RefreshProgressView longName(makeApp(longText()), refreshing);
        QCOMPARE(cutOf(&longName, "refreshSubtitle"),
                 refreshing ? QStringLiteral("1 lines") : QStringLiteral("2 lines, tooltip"));
    }

    // The update and adoption panels: title and banner colour per status, spinner, buttons
    // ("*" marks the default; the update panel's are its command box's), and the step cut.
    void progressPanels_data()
    {
        QTest::addColumn<bool>("update"); // else an adoption
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("cask");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QColor>("color");
        QTest::addColumn<bool>("spinner");
        QTest::addColumn<QString>("buttons");
        const QString none = QStringLiteral("-");
        QTest::newRow("update: queued") << true << int(St::queued) << true << "Update Queued"
                                        << SystemColors::secondary() << false << none;
        QTest::newRow("update: downloading")
            << true << int(St::downloading) << true << "Downloading" << SystemColors::blue() << true << none;
        QTest::newRow("update: installing")
            << true << int(St::installing) << true << "Installing" << SystemColors::purple() << true << none;
        QTest::newRow("update: verifying")
            << true << int(St::verifying) << true << "Verifying" << SystemColors::secondary() << true << none;
        QTest::newRow("update: completed")
            << true << int(St::completed) << true << "Completed" << SystemColors::green() << false << none;
        QTest::newRow("update: failed, no cask")
            << true << int(St::failed) << false << "Failed to Update" << SystemColors::red() << false << none;
        QTest::newRow("update: failed with a cask")
            << true << int(St::failed) << true << "Failed to Update" << SystemColors::red() << false
            << "Refresh|View Logs|*Update";
        QTest::newRow("update: cancelled")
            << true << int(St::cancelled) << true << "Cancelled" << SystemColors::gray() << false << none;
        QTest::newRow("adoption: queued") << false << int(ASt::queued) << true << "Adoption Queued"
                                          << SystemColors::secondary() << false << none;
        QTest::newRow("adoption: downloading")
            << false << int(ASt::downloading) << true << "Adoption Downloading" << SystemColors::blue()
            << true << none;
        QTest::newRow("adoption: adopting") << false << int(ASt::adopting) << true << "Adoption Adopting"
                                            << SystemColors::orange() << true << none;
        QTest::newRow("adoption: verifying") << false << int(ASt::verifying) << true << "Adoption Verifying"
                                             << SystemColors::secondary() << true << none;
        QTest::newRow("adoption: completed") << false << int(ASt::completed) << true << "Adoption Completed"
                                             << SystemColors::green() << false << none;
        QTest::newRow("adoption: failed") << false << int(ASt::failed) << true << "Adoption Failed"
                                          << SystemColors::red() << false << "*Refresh";
        QTest::newRow("adoption: cancelled") << false << int(ASt::cancelled) << true << "Adoption Cancelled"
                                             << SystemColors::gray() << false << none;
    }
    void progressPanels()
    {
        QFETCH(bool, update);
        QFETCH(int, status);
        QFETCH(bool, cask);
        QFETCH(QString, title);
        QFETCH(QColor, color);
        QFETCH(bool, spinner);
        QFETCH(QString, buttons);
        MainWindowTestWorld world;
        const ApplicationPtr app = cask ? figma() : makeApp(QStringLiteral("Figma"));
        const auto refresh = [] { return QtFuture::makeReadyFuture(); };
        std::unique_ptr<QWidget> view;
        UpdateProgressView* updateView = nullptr;
        if (update)
            view.reset(updateView = new UpdateProgressView(record(app, St(status)), refresh, world.detail));
        else
            view = std::make_unique<AdoptionProgressView>(adoption(app, ASt(status), 0.5), refresh);
        const char* titleLabel = update ? "updateStatusTitle" : "adoptionTitle";
        QCOMPARE(labelText(view.get(), titleLabel), title);
        QCOMPARE(labelColor(view.get(), titleLabel), color);
        QCOMPARE(view->findChild<Banner*>()->color(), color);
        QCOMPARE(shown(view.get(), update ? "updateSpinner" : "adoptionSpinner"), spinner);
        const QWidget* box = update ? updateView->commandBox() : view.get();
        QCOMPARE(box ? buttonRow(box) : QStringLiteral("-"), buttons);
        QCOMPARE(cutOf(view.get(), update ? "updateCurrentStep" : "adoptionStep"),
                 QStringLiteral("2 lines, tooltip"));
        renderBothThemes(view.get(), QStringLiteral("progresspanel-") + QTest::currentDataTag(), {});
        if (update) {
            if (!box)
                return;
            box->findChild<QPushButton*>("terminalRunButton")->click();
            QCOMPARE(updateView->terminalAlert()->text(), QStringLiteral("Update App via Terminal?"));
            return;
        }
        const bool failed = ASt(status) == ASt::failed;
        QCOMPARE(shown(view.get(), "adoptionFailure"), failed);
        if (!failed)
            return;
        QCOMPARE(labelText(view.get(), "adoptionCommand"),
                 QStringLiteral("brew install --cask --adopt figma"));
        QGuiApplication::clipboard()->setText(QStringLiteral("old"));
        view->findChild<QToolButton*>("adoptionCopyButton")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("brew install --cask --adopt figma"));
    }

    // Without a refresh callback there is no button; without a cask, no command to copy.
    void failedAdoptionWithoutCaskOrRefresh()
    {
        AdoptionProgressView noCask(adoption(makeApp(QStringLiteral("Other")), ASt::failed, 0), {});
        QVERIFY(!shown(&noCask, "adoptionRefreshButton"));
        QVERIFY(shown(&noCask, "adoptionFailureText"));
        QVERIFY(!noCask.findChild<QLabel*>("adoptionCommand")->isVisibleTo(&noCask));
    }

    void adoptButton_data()
    {
        QTest::addColumn<bool>("permission");
        QTest::addColumn<bool>("sudo");
        QTest::addColumn<bool>("adopting");
        QTest::addColumn<int>("progress");  // -1 none, else an AdoptionProgress::Status
        QTest::addColumn<QString>("shows"); // the adopt button, the terminal fallback or the progress
        QTest::addColumn<QString>("buttons"); // "*" marks the default
        QTest::newRow("idle") << true << false << false << -1 << "button" << "*Adopt";
        QTest::newRow("no permission") << false << false << false << -1 << "button" << "*Permission Required";
        QTest::newRow("password needed") << true << true << false << -1 << "fallback" << "Refresh|*Adopt";
        QTest::newRow("adopting") << true << false << true << int(ASt::adopting) << "progress" << "-";
        QTest::newRow("failed record kept") << true << false << false << int(ASt::failed) << "progress"
                                            << "*Refresh";
        QTest::newRow("completed record kept") << true << false << false << int(ASt::completed) << "progress"
                                               << "-";
    }
    void adoptButton()
    {
        QFETCH(bool, permission);
        QFETCH(bool, sudo);
        QFETCH(bool, adopting);
        QFETCH(int, progress);
        QFETCH(QString, shows);
        QFETCH(QString, buttons);
        MainWindowTestWorld world;
        world.appState.setHasAppManagementPermission(permission);
        auto app = MainWindowTestWorld::app(sudo ? "Figma+$" : "Figma+");
        BrewAvailableView::Inputs inputs{
            adopting, progress < 0 ? std::nullopt : std::optional(adoption(app, ASt(progress), 0))};
        int adopted = 0;
        const auto view = brewAvailable(world, app, inputs, [&] { ++adopted; });
        QSignalSpy opened(view.get(), &BrewAvailableView::openWindowRequested);
        QCOMPARE(shown(view.get(), "adoptButton"), shows == "button");
        QCOMPARE(view->terminalFallback() != nullptr, shows == "fallback");
        QCOMPARE(view->progressView() != nullptr, shows == "progress");
        QCOMPARE(shown(view.get(), "caskPasswordBadge"), sudo);
        QCOMPARE(buttonRow(view.get()), buttons);
        QCOMPARE(labelText(view.get(), "brewAvailableExplanation"),
                 QStringLiteral("Adopt this app’s cask to manage future updates automatically through Homebrew."));
        if (shows != "button")
            return;
        auto* adopt = view->findChild<QPushButton*>("adoptButton");
        adopt->click();
        QCOMPARE(adopted, permission ? 1 : 0);
        if (permission)
            return;
        // Without the permission the button opens Settings on Permissions, and follows the grant.
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().first().toString(), QStringLiteral("settings"));
        QCOMPARE(world.settingsViewModel.selectedCategory(),
                 SettingsViewModel::SettingsCategory::permissions);
        QCOMPARE(adopt->text(), QStringLiteral("Permission Required"));
        world.appState.setHasAppManagementPermission(true);
        QCOMPARE(adopt->text(), QStringLiteral("Adopt"));
    }

    void caskDetails()
    {
        MainWindowTestWorld world;
        FakeUrlOpener opener;
        auto app = makeApp(QStringLiteral("Figma"), std::nullopt, {Src::homebrew, Src::appStore});
        Cask cask = makeCask(QStringLiteral("figma"), true);
        cask.deprecated = true;
        cask.warnings = {QStringLiteral("<b>one</b>"), QStringLiteral("two"), QStringLiteral("three")};
        cask.description = QStringLiteral("Design tool");
        cask.homepage = QUrl(QStringLiteral("https://www.marble-maps.example/"));
        app->setCask(cask);
        const auto view = brewAvailable(
            world, app, {}, [] {}, &opener);
        QCOMPARE(labelText(view.get(), "brewAvailableExplanation"),
                 QStringLiteral("Paid Mac App Store apps shouldn’t be adopted to Homebrew, as their licenses don’t "
                                "transfer.\n\nOtherwise, adopt this app’s cask to manage future updates "
                                "automatically through Homebrew."));
        QVERIFY(shown(view.get(), "caskDeprecatedText"));
        const auto warnings = view->findChildren<QLabel*>("caskWarning");
        QCOMPARE(warnings.size(), 3);
        QCOMPARE(warnings.first()->text(), QStringLiteral("<b>one</b>"));
        QCOMPARE(warnings.first()->textFormat(), Qt::PlainText);
        view->findChild<QPushButton*>("caskHomepage")->click();
        QCOMPARE(opener.opened(), QList<QUrl>{QUrl(QStringLiteral("https://www.marble-maps.example/"))});
        QVERIFY(!renderToPng(view.get(), QStringLiteral("brewavailable"), QSize(640, 420)).isEmpty());
        // Given the width it asks for, the link shows its whole address.
        QCOMPARE(view->findChild<QPushButton*>("caskHomepage")->text(), "https://www.marble-maps.example/");
    }

    void linkPolicy_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("opens");
        QTest::newRow("https") << "https://example.com/x" << true;
        QTest::newRow("http") << "http://example.com" << true;
        QTest::newRow("store") << "macappstore://apps.apple.com/app/id1" << true;
        QTest::newRow("file") << "file:///etc/passwd" << false;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
        QTest::newRow("web without host") << "https:relative" << false;
        QTest::newRow("custom handler") << "x-handler://run" << false;
    }
    void linkPolicy()
    {
        QFETCH(QString, address);
        QFETCH(bool, opens);
        FakeUrlOpener opener;
        LinkPolicy::open(nullptr, &opener, QUrl(address));
        QCOMPARE(opener.opened().size(), opens ? 1 : 0);
    }

    void passwordActionGoesThroughTheTerminal_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("explanation");
        QTest::addColumn<QString>("buttons"); // no refresh action: the run button alone, the default
        QTest::addColumn<QString>("alert");   // title, then message
        QTest::newRow("adoption")
            << int(DetailViewModel::ActionType::adoption) << "brew install --cask --adopt figma"
            << "Password Required for Adoption" << "Brew requires your password to adopt this cask." << "*Adopt"
            << "Adopt in Terminal\nThis will open Terminal and run the adoption command. You'll need to enter "
               "your password to complete the adoption.";
        QTest::newRow("update") << int(DetailViewModel::ActionType::update) << "brew upgrade --cask figma"
                                << "Password Required for Update" << "Brew requires your password to update this app."
                                << "*Update"
                                << "Update in Terminal\nThis will open Terminal and run the update command. You'll "
                                   "need to enter your password to complete the update.";
    }
    void passwordActionGoesThroughTheTerminal()
    {
        QFETCH(int, action);
        QFETCH(QString, command);
        QFETCH(QString, heading);
        QFETCH(QString, explanation);
        QFETCH(QString, buttons);
        QFETCH(QString, alert);
        TerminalWorld world;
        const auto type = DetailViewModel::ActionType(action);
        BrewManualActionView view(MainWindowTestWorld::app("Figma+$"), type, {}, world.detail);
        QCOMPARE(labelText(&view, "passwordRequiredHeading"), heading);
        QCOMPARE(labelText(&view, "passwordRequiredExplanation"), explanation);
        QCOMPARE(view.commandBox()->command(), command);
        QCOMPARE(buttonRow(&view), buttons);
        view.commandBox()->findChild<QPushButton*>("manualRunButton")->click();
        QPointer<QMessageBox> shownAlert = view.terminalAlert();
        QVERIFY(shownAlert);
        QCOMPARE(shownAlert->text() + QLatin1Char('\n') + shownAlert->informativeText(), alert);
        QVERIFY(world.launcher->commandLines().isEmpty()); // not before the user agrees
        shownAlert->findChild<QPushButton*>("terminalAlertOpen")->click();
        QCOMPARE(world.launcher->commandLines(), QStringList{command});

        BrewManualActionView noCask(makeApp(QStringLiteral("Plain")), type, {}, world.detail);
        QCOMPARE(noCask.commandBox()->command(), QString());
        QCOMPARE(buttonRow(&noCask), QStringLiteral("(%1)").arg(buttons));
    }

    void manualCaskEntry_data()
    {
        QTest::addColumn<bool>("appStore");
        QTest::addColumn<bool>("validating");
        QTest::addColumn<QString>("cask");
        QTest::addColumn<QString>("tap");
        QTest::addColumn<QStringList>("sent"); // cask and tap ("-" for none); empty: cannot send
        QTest::newRow("empty") << true << false << ""
                               << "user/repo" << QStringList{};
        QTest::newRow("blanks only") << true << false << " \t "
                                     << "" << QStringList{};
        QTest::newRow("padded, no tap") << false << false << "  figma\t"
                                        << "" << QStringList{"figma", "-"};
        QTest::newRow("blank tap") << true << false << "figma"
                                   << "   " << QStringList{"figma", "-"};
        QTest::newRow("padded tap") << false << false << "figma"
                                    << " user/repo " << QStringList{"figma", "user/repo"};
        QTest::newRow("while validating") << true << true << "figma"
                                          << "" << QStringList{};
    }
    void manualCaskEntry()
    {
        QFETCH(bool, appStore);
        QFETCH(bool, validating);
        QFETCH(QString, cask);
        QFETCH(QString, tap);
        QFETCH(QStringList, sent);
        QStringList got;
        const QString failure =
            QStringLiteral("Cask 'figma' is already managing another app at: /Applications/F.app");
        ManualCaskEntryView view(
            makeApp(QStringLiteral("Figma"), std::nullopt,
                    appStore ? QList<Src>{Src::homebrew, Src::appStore} : QList<Src>{Src::sparkle}),
            validating, [&](const QString& c, const std::optional<QString>& t) {
                got = {c, t.value_or(QStringLiteral("-"))};
                return QtFuture::makeReadyFuture(failure);
            });
        const QString ifYouKnow =
            QStringLiteral("If you know the cask for this app, enter it below to adopt it to Homebrew.");
        QCOMPARE(labelText(&view, "manualCaskExplanation"),
                 appStore ? QStringLiteral("Mac App Store apps you've paid for shouldn’t be adopted to Homebrew, as "
                                           "their licenses don’t transfer. ") + ifYouKnow
                          : ifYouKnow);
        auto* caskField = view.findChild<QLineEdit*>("caskNameField");
        caskField->setText(cask);
        view.findChild<QLineEdit*>("tapNameField")->setText(tap);
        QCOMPARE(caskField->isEnabled(), !validating);
        auto* verify = view.findChild<QPushButton*>("verifyCaskButton");
        const QString title = validating ? QStringLiteral("*Verifying...") : QStringLiteral("*Verify");
        QCOMPARE(buttonRow(&view), sent.isEmpty() ? QStringLiteral("(%1)").arg(title) : title);
        verify->click();
        QCOMPARE(got, sent);
        if (!sent.isEmpty()) { // a failed verification says why under the fields, until an edit
            QTRY_COMPARE(view.failureText(), failure);
            renderBothThemes(&view, QStringLiteral("manualcask-failure"), QSize(520, 260));
            QTest::keyClick(view.findChild<QLineEdit*>("tapNameField"), Qt::Key_X);
            QCOMPARE(view.failureText(), QString());
        }
        view.setIsValidating(false);
        QCOMPARE(verify->isEnabled(), !cask.trimmed().isEmpty());
    }

    void brewDoctorSheet_data()
    {
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("issues");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("verdict"); // empty: none shown
        QTest::addColumn<QColor>("color");
        QTest::addColumn<QString>("buttons"); // "*" marks the default
        QTest::newRow("idle") << false << "" << false << "brewDoctorIdle" << "" << QColor() << "Run Doctor|*Done";
        QTest::newRow("running, emptied") << true << "" << false << "brewDoctorRunning" << "" << QColor()
                                          << "(Run Doctor)|*Done";
        QTest::newRow("old result while running") << true << "old" << false << "brewDoctorResult"
                                                  << "Your system is ready to brew" << SystemColors::green()
                                                  << "(Run Again)|*Done";
        QTest::newRow("ready") << false << "ready" << false << "brewDoctorResult" << "Your system is ready to brew"
                               << SystemColors::green() << "Run Again|*Done";
        QTest::newRow("issues") << false << "Warning: x" << true << "brewDoctorResult" << "Issues Found"
                                << SystemColors::orange() << "Run Again|*Done";
    }
    void brewDoctorSheet()
    {
        QFETCH(bool, running);
        QFETCH(QString, output);
        QFETCH(bool, issues);
        QFETCH(QString, page);
        QFETCH(QString, verdict);
        QFETCH(QColor, color);
        QFETCH(QString, buttons);
        MainWindowTestWorld world;
        world.detail.setIsRunningBrewDoctor(running);
        world.detail.setBrewDoctorOutput(output);
        world.detail.setBrewDoctorHasError(issues);
        BrewDoctorSheetView sheet(world.detail); // not shown, so it does not run
        for (const char* name : {"brewDoctorIdle", "brewDoctorRunning", "brewDoctorResult"})
            QCOMPARE(shown(&sheet, name), page == QLatin1String(name));
        QCOMPARE(buttonRow(&sheet), buttons);
        if (verdict.isEmpty())
            return;
        QCOMPARE(labelText(&sheet, "brewDoctorVerdict"), verdict);
        QCOMPARE(labelColor(&sheet, "brewDoctorVerdict"), color);
        QCOMPARE(labelText(&sheet, "brewDoctorOutput"), output);
    }

    // The explanation's colour is taken again from a new palette; a look at both themes.
    void followsThePalette()
    {
        MainWindowTestWorld world;
        const auto view = brewAvailable(world, MainWindowTestWorld::app("Figma+$"));
        auto* explanation = view->findChild<QLabel*>("brewAvailableExplanation");
        const QColor before = explanation->palette().color(QPalette::Text);
        const QPalette light = QApplication::palette();
        QApplication::setPalette(MainWindow::paletteFor(Theme::dark, light));
        QCoreApplication::processEvents();
        QVERIFY(explanation->palette().color(QPalette::Text) != before);
        QCOMPARE(explanation->palette().color(QPalette::Text), SystemColors::secondary());
        QApplication::setPalette(light);
        renderBothThemes(view.get(), QStringLiteral("brewavailable-password"), QSize(640, 520));
    }
};

QTEST_MAIN(TestDetailHomebrewPanels)
#include "tst_detailhomebrewpanels.moc"
