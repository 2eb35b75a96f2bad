#include "TerminalTestWorld.h"

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
        const QString grabbed = QStringLiteral("Grabbed the latest information for Figma");
        QTest::newRow("running") << true << 2 << false << QStringLiteral("Checking for changes");
        QTest::newRow("now managed") << false << 2 << false
                                     << QStringLiteral("Figma is now managed by Homebrew");
        QTest::newRow("adopted, update left") << false << 2 << true << grabbed;
        QTest::newRow("no cask") << false << 0 << false << grabbed;
        QTest::newRow("not adopted") << false << 1 << false << grabbed;
    }
    void refreshSubtitle()
    {
        QFETCH(bool, refreshing);
        QFETCH(int, cask);
        QFETCH(bool, update);
        QFETCH(QString, subtitle);
        auto app = makeApp(QStringLiteral("Figma"), update ? std::optional(makeUpdate("2.0")) : std::nullopt);
        Cask c = makeCask(QStringLiteral("figma"));
        c.adopted = cask == 2;
        if (cask)
            app->setCask(c);
        RefreshProgressView view(app, refreshing);
        QCOMPARE(labelText(&view, "refreshSubtitle"), subtitle);
    }

    void adoptionPresentation_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<bool>("spinner");
        QTest::addColumn<QString>("percentage"); // empty: no bar
        QTest::addColumn<bool>("failure");
        QTest::newRow("queued at 0") << int(ASt::queued) << 0.0 << false << "" << false;
        QTest::newRow("adopting") << int(ASt::adopting) << 0.5 << true << "50%" << false;
        QTest::newRow("verifying at 0.999") << int(ASt::verifying) << 0.999 << true << "99%" << false;
        QTest::newRow("downloading, not a number")
            << int(ASt::downloading) << std::nan("") << true << "" << false;
        QTest::newRow("completed at 1") << int(ASt::completed) << 1.0 << false << "" << false;
        QTest::newRow("failed") << int(ASt::failed) << 0.0 << false << "" << true;
        QTest::newRow("cancelled") << int(ASt::cancelled) << 0.0 << false << "" << false;
    }
    void adoptionPresentation()
    {
        QFETCH(int, status);
        QFETCH(double, fraction);
        QFETCH(bool, spinner);
        QFETCH(QString, percentage);
        QFETCH(bool, failure);
        AdoptionProgressView view(adoption(figma(), ASt(status), fraction),
                                  [] { return QtFuture::makeReadyFuture(); });
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
        AdoptionProgressView view(adoption(figma(), ASt::failed, 0), {});
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
        QTest::addColumn<bool>("permission");
        QTest::addColumn<bool>("sudo");
        QTest::addColumn<bool>("adopting");
        QTest::addColumn<int>("progress");  // -1 none, else an AdoptionProgress::Status
        QTest::addColumn<QString>("shows"); // the adopt button, the terminal fallback or the progress
        QTest::newRow("idle") << true << false << false << -1 << "button";
        QTest::newRow("no permission") << false << false << false << -1 << "button";
        QTest::newRow("password needed") << true << true << false << -1 << "fallback";
        QTest::newRow("adopting") << true << false << true << int(ASt::adopting) << "progress";
        QTest::newRow("failed record kept") << true << false << false << int(ASt::failed) << "progress";
        QTest::newRow("completed record kept") << true << false << false << int(ASt::completed) << "progress";
    }
    void adoptButton()
    {
        QFETCH(bool, permission);
        QFETCH(bool, sudo);
        QFETCH(bool, adopting);
        QFETCH(int, progress);
        QFETCH(QString, shows);
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
        cask.homepage = QUrl(QStringLiteral("https://figma.example/app"));
        app->setCask(cask);
        const auto view = brewAvailable(
            world, app, {}, [] {}, &opener);
        QVERIFY(labelText(view.get(), "brewAvailableExplanation")
                    .contains(QStringLiteral("transfer.\n\nOtherwise"))); // the App Store wording
        QVERIFY(shown(view.get(), "caskDeprecatedText"));
        const auto warnings = view->findChildren<QLabel*>("caskWarning");
        QCOMPARE(warnings.size(), 3);
        QCOMPARE(warnings.first()->text(), QStringLiteral("<b>one</b>"));
        QCOMPARE(warnings.first()->textFormat(), Qt::PlainText);
        view->findChild<QPushButton*>("caskHomepage")->click();
        QCOMPARE(opener.opened(), QList<QUrl>{QUrl(QStringLiteral("https://figma.example/app"))});
        QVERIFY(!renderToPng(view.get(), QStringLiteral("brewavailable"), QSize(640, 420)).isEmpty());
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
        QTest::newRow("adoption") << int(DetailViewModel::ActionType::adoption)
                                  << "brew install --cask --adopt figma";
        QTest::newRow("update") << int(DetailViewModel::ActionType::update) << "brew upgrade --cask figma";
    }
    void passwordActionGoesThroughTheTerminal()
    {
        QFETCH(int, action);
        QFETCH(QString, command);
        TerminalWorld world;
        const auto type = DetailViewModel::ActionType(action);
        BrewManualActionView view(MainWindowTestWorld::app("Figma+$"), type, {}, world.detail);
        QCOMPARE(view.commandBox()->command(), command);
        const auto buttons = view.commandBox()->findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 1); // no refresh action: the run button alone
        buttons.first()->click();
        QPointer<QMessageBox> alert = view.terminalAlert();
        QVERIFY(alert);
        QVERIFY(world.launcher->commandLines().isEmpty()); // not before the user agrees
        alert->findChild<QPushButton*>("terminalAlertOpen")->click();
        QCOMPARE(world.launcher->commandLines(), QStringList{command});

        BrewManualActionView noCask(makeApp(QStringLiteral("Plain")), type, {}, world.detail);
        QCOMPARE(noCask.commandBox()->command(), QString());
        QVERIFY(!noCask.commandBox()->findChild<QPushButton*>("manualRunButton")->isEnabled());
    }

    void manualCaskEntry_data()
    {
        QTest::addColumn<bool>("validating");
        QTest::addColumn<QString>("cask");
        QTest::addColumn<QString>("tap");
        QTest::addColumn<QStringList>("sent"); // cask and tap ("-" for none); empty: cannot send
        QTest::newRow("empty") << false << ""
                               << "user/repo" << QStringList{};
        QTest::newRow("blanks only") << false << " \t "
                                     << "" << QStringList{};
        QTest::newRow("padded, no tap") << false << "  figma\t"
                                        << "" << QStringList{"figma", "-"};
        QTest::newRow("blank tap") << false << "figma"
                                   << "   " << QStringList{"figma", "-"};
        QTest::newRow("padded tap") << false << "figma"
                                    << " user/repo " << QStringList{"figma", "user/repo"};
        QTest::newRow("while validating") << true << "figma"
                                          << "" << QStringList{};
    }
    void manualCaskEntry()
    {
        QFETCH(bool, validating);
        QFETCH(QString, cask);
        QFETCH(QString, tap);
        QFETCH(QStringList, sent);
        QStringList got;
        ManualCaskEntryView view(
            makeApp(QStringLiteral("Figma"), std::nullopt, {Src::homebrew, Src::appStore}), validating,
            [&](const QString& c, const std::optional<QString>& t) {
                got = {c, t.value_or(QStringLiteral("-"))};
                return QtFuture::makeReadyFuture(QString());
            });
        QVERIFY(labelText(&view, "manualCaskExplanation").startsWith(QStringLiteral("Mac App Store apps")));
        auto* caskField = view.findChild<QLineEdit*>("caskNameField");
        caskField->setText(cask);
        view.findChild<QLineEdit*>("tapNameField")->setText(tap);
        QCOMPARE(caskField->isEnabled(), !validating);
        auto* verify = view.findChild<QPushButton*>("verifyCaskButton");
        QCOMPARE(verify->isEnabled(), !sent.isEmpty());
        verify->click();
        QCOMPARE(got, sent);
        view.setIsValidating(false);
        QCOMPARE(verify->isEnabled(), !cask.trimmed().isEmpty());
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

    void rendersInDarkToo()
    {
        const QPalette light = QApplication::palette();
        QPalette dark(QColor(0x1e, 0x1e, 0x1e), QColor(0x28, 0x28, 0x28));
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            dark.setColor(role, QColor(0xee, 0xee, 0xee));
        MainWindowTestWorld world;
        const auto view = brewAvailable(world, MainWindowTestWorld::app("Figma+$"));
        auto* explanation = view->findChild<QLabel*>("brewAvailableExplanation");
        const QColor before = explanation->palette().color(QPalette::Text);
        QApplication::setPalette(dark);
        QCoreApplication::processEvents();
        const QColor after = explanation->palette().color(QPalette::Text);
        QVERIFY(before != after); // taken again from the new palette
        QCOMPARE(after, SystemColors::secondary());
        QVERIFY(!renderToPng(view.get(), QStringLiteral("brewavailable-password-dark"), QSize(640, 520))
                     .isEmpty());
        QApplication::setPalette(light);
        QVERIFY(!renderToPng(view.get(), QStringLiteral("brewavailable-password-light"), QSize(640, 520))
                     .isEmpty());
    }
};

QTEST_MAIN(TestDetailHomebrewPanels)
#include "tst_detailhomebrewpanels.moc"
