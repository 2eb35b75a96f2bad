#include "TerminalTestWorld.h"

#include "PanelLook.h"
#include "RenderToPng.h"
#include "ui/detail/BrewCommandView.h"
#include "ui/detail/BrewOutputView.h"
#include "ui/detail/UpdateProgressView.h"
#include "viewmodels/BrewCommandLine.h"

#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPromise>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace norvelle;
using namespace norvelle::test;
using St = UpdateProgress::Status;
using Src = Application::Source;

namespace {

UpdateProgress failedRecord(const ApplicationPtr& application, QStringList output = {})
{
    UpdateProgress progress;
    progress.id = QUuid::createUuid();
    progress.application = application;
    progress.status = St::failed;
    progress.currentStep = QStringLiteral("Homebrew command failed to execute");
    progress.startTime = QDateTime::currentDateTime();
    progress.brewOutput = std::move(output);
    return progress;
}

ApplicationPtr figma()
{
    auto app = makeApp(QStringLiteral("Figma"));
    app->setCask(makeCask(QStringLiteral("figma")));
    return app;
}

} // namespace

class TestDetailCommandBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commandLines_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("upgrade");
        QTest::addColumn<QString>("adopt");
        for (const QString good : {"firefox", "python@3.12+x", "user/tap/my-app"})
            QTest::newRow(qPrintable(good))
                << good << "brew upgrade --cask " + good << "brew install --cask --adopt " + good;
        // Anything that is not a plain token gives no command at all.
        int rejected = 0;
        for (const char* bad : {"--force", "app; rm -rf ~", "$(touch x)", "Firefox", "app\nrm", ""})
            QTest::addRow("rejected %d", ++rejected) << QString::fromLatin1(bad) << QString() << QString();
    }
    void commandLines()
    {
        QFETCH(QString, token);
        QFETCH(QString, upgrade);
        QFETCH(QString, adopt);
        QCOMPARE(BrewCommandLine::upgrade(makeCask(token)), upgrade);
        QCOMPARE(BrewCommandLine::adopt(makeCask(token)), adopt);
        if (token.isEmpty())
            QCOMPARE(BrewCommandLine::upgrade(std::nullopt), QString());
    }

    void buttonsOfAFailedUpdate_data()
    {
        QTest::addColumn<bool>("refresh");
        QTest::addColumn<bool>("homebrew");
        QTest::addColumn<bool>("output");
        QTest::addColumn<QStringList>("buttons");
        QTest::newRow("all three") << true << true << true << QStringList{"refresh", "logs", "update"};
        QTest::newRow("no refresh action") << false << true << true << QStringList{"logs", "update"};
        QTest::newRow("nothing captured") << true << true << false << QStringList{"refresh", "update"};
        QTest::newRow("not a homebrew app") << true << false << true << QStringList{"refresh", "update"};
        QTest::newRow("update alone") << false << false << false << QStringList{"update"};
    }
    void buttonsOfAFailedUpdate()
    {
        QFETCH(bool, refresh);
        QFETCH(bool, homebrew);
        QFETCH(bool, output);
        QFETCH(QStringList, buttons);
        auto app = figma();
        app->setSource(homebrew ? QList<Src>{Src::sparkle, Src::homebrew} : QList<Src>{Src::sparkle});
        const auto record =
            failedRecord(app, output ? QStringList{QStringLiteral("==> Upgrading")} : QStringList{});
        QCOMPARE(UpdateProgressView::commandButtons(record, refresh), buttons);
    }

    void failedHomebrewUpdateRunsInTerminalAfterAsking()
    {
        TerminalWorld world;
        UpdateProgressView view(
            failedRecord(figma(), {"==> Upgrading figma", "Password:"}),
            [] { return QtFuture::makeReadyFuture(); }, world.detail);
        BrewCommandView* box = view.commandBox();
        QCOMPARE(box->findChild<QLabel*>("brewCommandText")->text(), QStringLiteral("brew upgrade --cask figma"));
        box->findChild<QPushButton*>("terminalRunButton")->click();
        QPointer<QMessageBox> alert = view.terminalAlert();
        QVERIFY(alert);
        alert->findChild<QPushButton*>("terminalAlertCancel")->click();
        QTRY_VERIFY(!alert);
        QVERIFY(world.launcher->commandLines().isEmpty());

        box->findChild<QPushButton*>("terminalRunButton")->click();
        alert = view.terminalAlert();
        QVERIFY(alert);
        alert->findChild<QCheckBox*>("terminalAlertSuppress")->setChecked(true);
        QVERIFY(world.detail.suppressTerminalAlert());
        alert->findChild<QPushButton*>("terminalAlertOpen")->click();
        QCOMPARE(world.launcher->commandLines(), QStringList{"brew upgrade --cask figma"});

        // Not asked again: the next click goes straight to the terminal.
        QTRY_VERIFY(!world.detail.isLaunchingTerminal());
        box->findChild<QPushButton*>("terminalRunButton")->click();
        QVERIFY(!view.terminalAlert());
        QCOMPARE(world.launcher->commandLines().size(), 2);
    }

    void invalidCaskNameCannotBeRunOrCopied()
    {
        TerminalWorld world;
        world.detail.setSuppressTerminalAlert(true);
        auto app = makeApp(QStringLiteral("Evil"));
        app->setCask(makeCask(QStringLiteral("x; rm -rf ~")));
        UpdateProgressView view(failedRecord(app), {}, world.detail);
        QVERIFY(view.commandBox());
        QCOMPARE(view.commandBox()->command(), QString());
        QVERIFY(!view.commandBox()->findChild<QPushButton*>("terminalRunButton")->isEnabled());
        QVERIFY(!view.commandBox()->findChild<QToolButton*>("copyCommandButton")->isEnabled());
        view.commandBox()->findChild<QPushButton*>("terminalRunButton")->click();
        QVERIFY(world.launcher->commandLines().isEmpty());
    }

    void noCommandBoxWithoutCaskOrFailure()
    {
        MainWindowTestWorld world;
        auto app = makeApp(QStringLiteral("Figma"));
        UpdateProgressView view(failedRecord(app), {}, world.detail);
        QVERIFY(!view.commandBox());
        app->setCask(makeCask(QStringLiteral("figma")));
        QTRY_VERIFY(view.commandBox()); // follows the application's cask
        auto running = failedRecord(app);
        running.status = St::installing;
        view.setProgress(running);
        QVERIFY(!view.commandBox());
    }

    void refreshShowsCheckingAndEndsQuietlyAfterThePanel()
    {
        MainWindowTestWorld world;
        QPromise<void> refresh;
        QPromise<void> late;
        QPromise<void>* current = &refresh;
        const auto onRefresh = [&] {
            current->start();
            return current->future();
        };
        auto view = std::make_unique<UpdateProgressView>(failedRecord(figma()), onRefresh, world.detail);
        auto button = [&] { return view->commandBox()->findChild<QPushButton*>("commandRefreshButton"); };
        button()->click();
        QTRY_COMPARE(button()->text(), QStringLiteral("Checking..."));
        QVERIFY(view->isRefreshing());
        refresh.finish();
        QTRY_COMPARE(button()->text(), QStringLiteral("Refresh"));

        // A refresh that ends after the panel is gone touches nothing.
        current = &late;
        view = std::make_unique<UpdateProgressView>(failedRecord(figma()), onRefresh, world.detail);
        button()->click();
        view.reset();
        late.finish();
        QCoreApplication::processEvents();
    }

    void logSheet_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("buttons"); // "*" marks the default
        QTest::addColumn<QString>("placeholder");
        QTest::newRow("captured") << QStringList{"==> <b>Upgrading</b>", "\tsame", "\tsame"} << "Copy|*Done"
                                  << QString();
        QTest::newRow("nothing captured") << QStringList{} << "(Copy)|*Done"
                                          << "No Brew Output\nNo brew output was captured for this update";
    }
    void logSheet()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, buttons);
        QFETCH(QString, placeholder);
        MainWindowTestWorld world;
        UpdateProgressView view(failedRecord(figma(), lines), {}, world.detail);
        auto* viewLogs = view.commandBox()->findChild<QPushButton*>("viewLogsButton");
        // Without lines there is no "View Logs"; the sheet itself still says so.
        QCOMPARE(viewLogs != nullptr, !lines.isEmpty());
        BrewOutputView standalone(lines);
        BrewOutputView* sheet = &standalone;
        if (viewLogs) {
            viewLogs->click();
            sheet = view.brewOutputSheet();
        }
        QCOMPARE(buttonRow(sheet), buttons);
        QCOMPARE(sheet->findChild<QWidget*>("noBrewOutput") != nullptr, lines.isEmpty());
        if (lines.isEmpty()) {
            QCOMPARE(labelText(sheet, "noBrewOutputTitle") + "\n" + labelText(sheet, "noBrewOutputDescription"),
                     placeholder);
            return;
        }
        QStringList rows;
        for (const QLabel* row : sheet->findChildren<QLabel*>("brewOutputLine")) {
            QCOMPARE(row->textFormat(), Qt::PlainText);
            rows.append(row->text());
        }
        QCOMPARE(rows, lines);
        sheet->findChild<QPushButton*>("brewOutputCopy")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), lines.join(QLatin1Char('\n')));
        QVERIFY(!renderToPng(sheet, QStringLiteral("brewoutput")).isEmpty());
        sheet->findChild<QPushButton*>("brewOutputDone")->click();
        QTRY_VERIFY(!view.brewOutputSheet());
    }

    // The confirmation lasts two seconds from the copy: still shown at 1.8 s, gone by 2.5 s.
    void copyConfirmsForTwoSeconds()
    {
        const QString command = QStringLiteral("brew upgrade --cask <b>figma</b>");
        BrewCommandView box(command, QStringLiteral("Do it"), {});
        QCOMPARE(box.findChild<QLabel*>("brewCommandText")->textFormat(), Qt::PlainText);
        auto* copy = box.findChild<QToolButton*>("copyCommandButton");
        copy->click();
        QElapsedTimer sinceCopy;
        sinceCopy.start();
        QCOMPARE(QGuiApplication::clipboard()->text(), command);
        QVERIFY(box.didCopy());
        QCOMPARE(copy->toolTip(), QStringLiteral("Copied!"));

        QTRY_VERIFY_WITH_TIMEOUT(!box.didCopy() || sinceCopy.elapsed() >= 1800, 5000);
        QVERIFY2(box.didCopy(), qPrintable(QStringLiteral("gone after %1 ms").arg(sinceCopy.elapsed())));
        QTRY_VERIFY_WITH_TIMEOUT(!box.didCopy(), 5000);
        QVERIFY2(sinceCopy.elapsed() <= 2500, qPrintable(QStringLiteral("gone after %1 ms").arg(sinceCopy.elapsed())));
        QCOMPARE(copy->toolTip(), QStringLiteral("Copy command"));
    }
};

QTEST_MAIN(TestDetailCommandBox)
#include "tst_detailcommandbox.moc"
