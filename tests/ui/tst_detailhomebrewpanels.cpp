#include "TerminalTestWorld.h"

#include "FakeTerminalLauncher.h"
#include "FakeUrlOpener.h"
#include "RenderToPng.h"
#include "ui/detail/AdoptionProgressView.h"
#include "ui/detail/BrewAvailableView.h"
#include "ui/detail/BrewCommandView.h"
#include "ui/detail/BrewDoctorSheetView.h"
#include "ui/detail/BrewManualActionView.h"
#include "ui/detail/LinkPolicy.h"
#include "ui/detail/ManualCaskEntryView.h"
#include "ui/detail/RefreshProgressView.h"
#include "ui/main/components/Banner.h"
#include "ui/main/components/SystemColors.h"
#include "viewmodels/TerminalCommands.h"

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
using Src = Application::Source;

namespace {

AdoptionProgress adoption(const ApplicationPtr& application, ASt status, double fraction)
{
    AdoptionProgress progress;
    progress.id = QUuid::createUuid();
    progress.application = application;
    progress.status = status;
    progress.progress = fraction;
    progress.currentStep = QStringLiteral("==> Adopting <i>figma</i>");
    progress.startTime = QDateTime::currentDateTime();
    return progress;
}

bool shown(const QWidget* root, const QString& name)
{
    const auto* widget = root->findChild<QWidget*>(name);
    return widget && widget->isVisibleTo(root);
}

QString labelText(const QWidget* root, const QString& name)
{
    return root->findChild<QLabel*>(name)->text();
}

} // namespace

class TestDetailHomebrewPanels : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refreshSubtitle_data()
    {
        QTest::addColumn<bool>("refreshing");
        QTest::addColumn<int>("cask"); // 0 none, 1 not adopted, 2 adopted
        QTest::addColumn<bool>("update");
        QTest::addColumn<QString>("subtitle");
        QTest::newRow("running") << true << 2 << false << "Checking for changes";
        QTest::newRow("now managed") << false << 2 << false << "Figma is now managed by Homebrew";
        QTest::newRow("adopted, update left")
            << false << 2 << true << "Grabbed the latest information for Figma";
        QTest::newRow("no cask") << false << 0 << false << "Grabbed the latest information for Figma";
        QTest::newRow("not adopted") << false << 1 << false << "Grabbed the latest information for Figma";
    }
    void refreshSubtitle()
    {
        QFETCH(bool, refreshing);
        QFETCH(int, cask);
        QFETCH(bool, update);
        QFETCH(QString, subtitle);
        auto app = makeApp(QStringLiteral("Figma"), update ? std::optional(makeUpdate("2.0")) : std::nullopt);
        if (cask) {
            Cask c = makeCask(QStringLiteral("figma"));
            c.adopted = cask == 2;
            app->setCask(c);
        }
        RefreshProgressView view(app, refreshing);
        QCOMPARE(labelText(&view, "refreshSubtitle"), subtitle);
        QCOMPARE(labelText(&view, "refreshTitle"),
                 refreshing ? QStringLiteral("Refreshing...") : QStringLiteral("Refreshed Successfully!"));
        QCOMPARE(view.findChild<Banner*>()->color(),
                 refreshing ? SystemColors::secondary() : SystemColors::green());
    }

    void adoptionPresentation_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QColor>("color");
        QTest::addColumn<bool>("spinner");
        QTest::addColumn<QString>("percentage"); // empty: no bar
        QTest::addColumn<bool>("failure");
        QTest::newRow("queued at 0") << int(ASt::queued) << 0.0 << "Adoption Queued"
                                     << SystemColors::secondary() << false << "" << false;
        QTest::newRow("adopting") << int(ASt::adopting) << 0.5 << "Adoption Adopting"
                                  << SystemColors::orange() << true << "50%" << false;
        QTest::newRow("verifying at 0.999") << int(ASt::verifying) << 0.999 << "Adoption Verifying"
                                            << SystemColors::secondary() << true << "99%" << false;
        QTest::newRow("downloading, not a number")
            << int(ASt::downloading) << std::nan("") << "Adoption Downloading" << SystemColors::blue() << true
            << "" << false;
        QTest::newRow("completed at 1") << int(ASt::completed) << 1.0 << "Adoption Completed"
                                        << SystemColors::green() << false << "" << false;
        QTest::newRow("failed") << int(ASt::failed) << 0.0 << "Adoption Failed" << SystemColors::red()
                                << false << "" << true;
        QTest::newRow("cancelled") << int(ASt::cancelled) << 0.0 << "Adoption Cancelled"
                                   << SystemColors::gray() << false << "" << false;
    }
    void adoptionPresentation()
    {
        QFETCH(int, status);
        QFETCH(double, fraction);
        QFETCH(QString, title);
        QFETCH(QColor, color);
        QFETCH(bool, spinner);
        QFETCH(QString, percentage);
        QFETCH(bool, failure);
        auto app = makeApp(QStringLiteral("Figma"));
        app->setCask(makeCask(QStringLiteral("figma")));
        AdoptionProgressView view(adoption(app, ASt(status), fraction),
                                  [] { return QtFuture::makeReadyFuture(); });
        QCOMPARE(labelText(&view, "adoptionTitle"), title);
        QCOMPARE(view.findChild<Banner*>()->color(), color);
        QCOMPARE(labelText(&view, "adoptionStep"), QStringLiteral("==> Adopting <i>figma</i>"));
        QCOMPARE(view.findChild<QLabel*>("adoptionStep")->textFormat(), Qt::PlainText);
        QCOMPARE(shown(&view, "adoptionSpinner"), spinner);
        QCOMPARE(shown(&view, "adoptionProgressBox"), !percentage.isEmpty());
        if (!percentage.isEmpty())
            QCOMPARE(labelText(&view, "adoptionPercentage"), percentage);
        QCOMPARE(shown(&view, "adoptionFailure"), failure);
        QCOMPARE(shown(&view, "adoptionRefreshButton"), failure);
    }

    void failedAdoptionCopiesItsCommand()
    {
        auto app = makeApp(QStringLiteral("Figma"));
        app->setCask(makeCask(QStringLiteral("figma")));
        AdoptionProgressView view(adoption(app, ASt::failed, 0), {});
        QVERIFY(!shown(&view, "adoptionRefreshButton")); // no callback, no button
        QCOMPARE(labelText(&view, "adoptionCommand"), QStringLiteral("brew install --cask --adopt figma"));
        QGuiApplication::clipboard()->setText(QStringLiteral("old"));
        view.findChild<QToolButton*>("adoptionCopyButton")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("brew install --cask --adopt figma"));

        AdoptionProgressView noCask(adoption(makeApp(QStringLiteral("Other")), ASt::failed, 0), {});
        QVERIFY(shown(&noCask, "adoptionFailureText"));
        QVERIFY(!noCask.findChild<QLabel*>("adoptionCommand")->isVisibleTo(&noCask));
    }

    void adoptButton_data()
    {
        QTest::addColumn<bool>("sudo");
        QTest::addColumn<bool>("adopting");
        QTest::addColumn<int>("progress"); // -1 none, else an AdoptionProgress::Status
        QTest::addColumn<bool>("button");
        QTest::addColumn<bool>("fallback");
        QTest::addColumn<bool>("progressPanel");
        QTest::newRow("idle") << false << false << -1 << true << false << false;
        QTest::newRow("password needed") << true << false << -1 << false << true << false;
        QTest::newRow("adopting") << false << true << int(ASt::adopting) << false << false << true;
        QTest::newRow("failed record kept") << false << false << int(ASt::failed) << false << false << true;
        QTest::newRow("completed record kept")
            << false << false << int(ASt::completed) << false << false << true;
    }
    void adoptButton()
    {
        QFETCH(bool, sudo);
        QFETCH(bool, adopting);
        QFETCH(int, progress);
        QFETCH(bool, button);
        QFETCH(bool, fallback);
        QFETCH(bool, progressPanel);
        MainWindowTestWorld world;
        world.appState.setHasAppManagementPermission(true);
        auto app = MainWindowTestWorld::app(sudo ? "Figma+$" : "Figma+");
        BrewAvailableView::Inputs inputs{
            adopting, progress < 0 ? std::nullopt : std::optional(adoption(app, ASt(progress), 0))};
        int adopted = 0;
        BrewAvailableView view(
            app, inputs, [&] { ++adopted; }, [] { return QtFuture::makeReadyFuture(); }, world.appState,
            world.settingsViewModel, world.detail, nullptr);
        QCOMPARE(shown(&view, "adoptButton"), button);
        QCOMPARE(shown(&view, "caskPasswordBadge"), sudo);
        QCOMPARE(view.terminalFallback() != nullptr, fallback);
        QCOMPARE(view.progressView() != nullptr, progressPanel);
        if (button) {
            view.findChild<QPushButton*>("adoptButton")->click();
            QCOMPARE(adopted, 1);
        }
    }

    void adoptWithoutPermissionOpensSettings()
    {
        MainWindowTestWorld world;
        auto app = MainWindowTestWorld::app("Figma+");
        int adopted = 0;
        BrewAvailableView view(
            app, {}, [&] { ++adopted; }, [] { return QtFuture::makeReadyFuture(); }, world.appState,
            world.settingsViewModel, world.detail, nullptr);
        QSignalSpy opened(&view, &BrewAvailableView::openWindowRequested);
        auto* button = view.findChild<QPushButton*>("adoptButton");
        QCOMPARE(button->text(), QStringLiteral("Permission Required"));
        QCOMPARE(button->toolTip(), QStringLiteral("Click to open Settings and enable Permissions"));
        button->click();
        QCOMPARE(adopted, 0);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().first().toString(), QStringLiteral("settings"));
        QCOMPARE(world.settingsViewModel.selectedCategory(),
                 SettingsViewModel::SettingsCategory::permissions);
        world.appState.setHasAppManagementPermission(true);
        QCOMPARE(button->text(), QStringLiteral("Adopt"));
        QCOMPARE(button->toolTip(), QString());
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
        cask.homepage = QUrl(QStringLiteral("https://figma.example/app"));
        app->setCask(cask);
        BrewAvailableView view(
            app, {}, [] {}, [] { return QtFuture::makeReadyFuture(); }, world.appState,
            world.settingsViewModel, world.detail, &opener);
        QVERIFY(
            labelText(&view, "brewAvailableExplanation").contains(QStringLiteral("transfer.\n\nOtherwise")));
        QCOMPARE(
            labelText(&view, "caskDeprecatedText"),
            QStringLiteral(
                "This cask is deprecated and may be removed in the future, it is not reccoended to use"));
        const auto warnings = view.findChildren<QLabel*>("caskWarning");
        QCOMPARE(warnings.size(), 3);
        QCOMPARE(warnings.first()->text(), QStringLiteral("<b>one</b>"));
        QCOMPARE(warnings.first()->textFormat(), Qt::PlainText);
        auto* homepage = view.findChild<QPushButton*>("caskHomepage");
        QCOMPARE(homepage->text(), QStringLiteral("https://figma.example/app"));
        homepage->click();
        QCOMPARE(opener.opened(), QList<QUrl>{QUrl(QStringLiteral("https://figma.example/app"))});
        QVERIFY(!renderToPng(&view, QStringLiteral("brewavailable"), QSize(640, 420)).isEmpty());
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
        LinkPolicy::open(&opener, QUrl(address));
        QCOMPARE(opener.opened().size(), opens ? 1 : 0);
    }

    void passwordAdoptionGoesThroughTheTerminal()
    {
        TerminalWorld world;
        auto app = MainWindowTestWorld::app("Figma+$");
        BrewManualActionView view(app, DetailViewModel::ActionType::adoption, {}, world.detail);
        QCOMPARE(labelText(&view, "passwordRequiredHeading"),
                 QStringLiteral("Password Required for Adoption"));
        QCOMPARE(view.commandBox()->command(), QStringLiteral("brew install --cask --adopt figma"));
        const auto buttons = view.commandBox()->findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 1); // no refresh action: the run button alone
        QCOMPARE(buttons.first()->text(), QStringLiteral("Adopt"));
        buttons.first()->click();
        QPointer<QMessageBox> alert = view.terminalAlert();
        QVERIFY(alert);
        QCOMPARE(alert->text(), QStringLiteral("Adopt in Terminal"));
        alert->findChild<QPushButton*>("terminalAlertOpen")->click();
        QCOMPARE(world.launcher->commandLines(), QStringList{"brew install --cask --adopt figma"});

        auto noCask = makeApp(QStringLiteral("Plain"));
        BrewManualActionView empty(noCask, DetailViewModel::ActionType::update, {}, world.detail);
        QCOMPARE(empty.commandBox()->command(), QString());
        QVERIFY(!empty.commandBox()->findChild<QPushButton*>("manualRunButton")->isEnabled());
    }

    void manualCaskTrimming_data()
    {
        QTest::addColumn<QString>("cask");
        QTest::addColumn<QString>("tap");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("sentCask");
        QTest::addColumn<QString>("sentTap"); // "-" for no tap
        QTest::newRow("empty") << ""
                               << "user/repo" << false << ""
                               << "-";
        QTest::newRow("blanks only") << " \t "
                                     << "" << false << ""
                                     << "-";
        QTest::newRow("padded, no tap") << "  figma\t"
                                        << "" << true << "figma"
                                        << "-";
        QTest::newRow("blank tap") << "figma"
                                   << "   " << true << "figma"
                                   << "-";
        QTest::newRow("padded tap") << "figma"
                                    << " user/repo " << true << "figma"
                                    << "user/repo";
    }
    void manualCaskTrimming()
    {
        QFETCH(QString, cask);
        QFETCH(QString, tap);
        QFETCH(bool, enabled);
        QFETCH(QString, sentCask);
        QFETCH(QString, sentTap);
        QStringList sent;
        ManualCaskEntryView view(makeApp(QStringLiteral("Figma")), false,
                                 [&](const QString& c, const std::optional<QString>& t) {
                                     sent = {c, t.value_or(QStringLiteral("-"))};
                                 });
        view.findChild<QLineEdit*>("caskNameField")->setText(cask);
        view.findChild<QLineEdit*>("tapNameField")->setText(tap);
        auto* verify = view.findChild<QPushButton*>("verifyCaskButton");
        QCOMPARE(verify->isEnabled(), enabled);
        verify->click();
        const QStringList expected = enabled ? QStringList{sentCask, sentTap} : QStringList{};
        QCOMPARE(sent, expected);
    }

    void manualCaskWhileValidating()
    {
        ManualCaskEntryView view(
            makeApp(QStringLiteral("Figma"), std::nullopt, {Src::homebrew, Src::appStore}), true, {});
        view.findChild<QLineEdit*>("caskNameField")->setText(QStringLiteral("figma"));
        QCOMPARE(view.findChild<QPushButton*>("verifyCaskButton")->text(), QStringLiteral("Verifying..."));
        QVERIFY(!view.findChild<QPushButton*>("verifyCaskButton")->isEnabled());
        QVERIFY(!view.findChild<QLineEdit*>("caskNameField")->isEnabled());
        QVERIFY(!view.findChild<QLineEdit*>("tapNameField")->isEnabled());
        QVERIFY(labelText(&view, "manualCaskExplanation")
                    .startsWith(QStringLiteral("Mac App Store apps you've paid")));
        QCOMPARE(labelText(&view, "tapOptionalLabel"), QStringLiteral("(OPTIONAL)"));
        view.setIsValidating(false);
        QVERIFY(view.findChild<QPushButton*>("verifyCaskButton")->isEnabled());
    }

    void brewDoctorStates_data()
    {
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("state");
        QTest::newRow("idle") << false << "" << int(BrewDoctorSheetView::State::idle);
        QTest::newRow("running, emptied") << true << "" << int(BrewDoctorSheetView::State::running);
        QTest::newRow("old result while running") << true << "old" << int(BrewDoctorSheetView::State::result);
        QTest::newRow("result") << false << "ready" << int(BrewDoctorSheetView::State::result);
    }
    void brewDoctorStates()
    {
        QFETCH(bool, running);
        QFETCH(QString, output);
        QFETCH(int, state);
        QCOMPARE(int(BrewDoctorSheetView::state(running, output)), state);
    }

    void brewDoctorRunsWhenOpened()
    {
        TerminalWorld world; // no brew at the default locations of this machine
        BrewDoctorSheetView sheet(world.detail);
        sheet.show();
        QTRY_COMPARE(sheet.currentState(), BrewDoctorSheetView::State::result);
        QCOMPARE(labelText(&sheet, "brewDoctorVerdict"), QStringLiteral("Issues Found"));
        QCOMPARE(labelText(&sheet, "brewDoctorOutput"), TerminalCommands::homebrewMissingText());
        QCOMPARE(sheet.findChild<QPushButton*>("brewDoctorRunButton")->text(), QStringLiteral("Run Again"));

        // While a run is under way the button cannot start a second.
        world.detail.setIsRunningBrewDoctor(true);
        QVERIFY(!sheet.findChild<QPushButton*>("brewDoctorRunButton")->isEnabled());
        world.detail.setIsRunningBrewDoctor(false);
        QVERIFY(!renderToPng(&sheet, QStringLiteral("brewdoctor")).isEmpty());
    }

    void rendersInDarkToo()
    {
        const QPalette light = QApplication::palette();
        QPalette dark(QColor(0x1e, 0x1e, 0x1e), QColor(0x28, 0x28, 0x28));
        dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
        MainWindowTestWorld world;
        auto app = MainWindowTestWorld::app("Figma+$", {Src::homebrew});
        BrewAvailableView view(
            app, {}, [] {}, [] { return QtFuture::makeReadyFuture(); }, world.appState,
            world.settingsViewModel, world.detail, nullptr);
        const QColor before =
            view.findChild<QLabel*>("brewAvailableExplanation")->palette().color(QPalette::Text);
        QApplication::setPalette(dark);
        QCoreApplication::processEvents();
        const QColor after =
            view.findChild<QLabel*>("brewAvailableExplanation")->palette().color(QPalette::Text);
        QVERIFY(before != after); // taken again from the new palette
        QCOMPARE(after, SystemColors::secondary());
        QVERIFY(
            !renderToPng(&view, QStringLiteral("brewavailable-password-dark"), QSize(640, 520)).isEmpty());
        QApplication::setPalette(light);
        QVERIFY(
            !renderToPng(&view, QStringLiteral("brewavailable-password-light"), QSize(640, 520)).isEmpty());
    }
};

QTEST_MAIN(TestDetailHomebrewPanels)
#include "tst_detailhomebrewpanels.moc"
