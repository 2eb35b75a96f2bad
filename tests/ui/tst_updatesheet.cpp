#include "tst_sidebarworld.h"

#include "RenderToPng.h"
#include "TestGate.h"
#include "ui/detail/UpdateProgressView.h"
#include "ui/main/MainWindow.h"
#include "ui/main/components/BadgeChip.h"
#include "ui/main/components/BusyIndicator.h"
#include "ui/main/components/ElidingLabel.h"
#include "ui/main/components/SourceBadgeView.h"
#include "ui/main/components/SystemColors.h"
#include "ui/update_sheet/CurrentUpdateView.h"
#include "ui/update_sheet/FailedUpdateView.h"
#include "ui/update_sheet/ProcessingView.h"
#include "ui/update_sheet/ReviewView.h"
#include "ui/update_sheet/UpdateSheetAppRow.h"
#include "ui/update_sheet/UpdateSheetPresenter.h"
#include "ui/update_sheet/UpdateSheetView.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QPushButton>
#include <QTest>

using namespace norvelle;
using namespace norvelle::test;
using Status = UpdateProgress::Status;
using Phase = UpdateSheetView::Phase;

namespace {

using ApplicationList = QList<std::shared_ptr<Application>>;

ApplicationList apps(const QStringList& specs)
{
    ApplicationList list;
    for (const QString& spec : specs)
        list.append(MainWindowTestWorld::app(spec));
    return list;
}

QStringList names(const ApplicationList& list)
{
    QStringList out;
    for (const auto& app : list)
        out.append(app->name());
    return out;
}

// The application names of the rows (or failed cards) under `section`, top to bottom.
QStringList rowNames(const QWidget* section, const QString& rowName = QStringLiteral("appRow"))
{
    QStringList out;
    if (!section)
        return out;
    for (const QWidget* row : section->findChildren<QWidget*>(rowName))
        out.append(row->property("applicationName").toString());
    return out;
}

QString badgeText(const QWidget* root, const QString& name)
{
    const auto* badge = root->findChild<BadgeChip*>(name);
    return badge ? badge->text() : QStringLiteral("<none>");
}

QString labelText(const QWidget* root, const QString& name)
{
    const auto* label = root->findChild<QLabel*>(name);
    return label ? label->text() : QStringLiteral("<none>");
}

bool shown(const QWidget* root, const QString& name)
{
    const auto* widget = root->findChild<QWidget*>(name);
    return widget && !widget->isHidden();
}

UpdateProgress report(const std::shared_ptr<Application>& app, Status status, const QString& step = {})
{
    UpdateProgress progress;
    progress.id = QUuid::createUuid();
    progress.application = app;
    progress.status = status;
    progress.currentStep = step.isEmpty() ? toRawValue(status) + QStringLiteral(" step") : step;
    progress.progress = 0.4;
    return progress;
}

Update::Result result(const std::shared_ptr<Application>& app, bool success)
{
    Update::Result r;
    r.id = QUuid::createUuid();
    r.application = app;
    r.success = success;
    if (!success)
        r.error = QStringLiteral("boom");
    return r;
}

// The shared panel's "Refresh" (it reads "Checking..." while the refresh runs); the panel
// builds its buttons again on every change, so it is looked up each time.
QPushButton* refreshButton(const QWidget* root)
{
    return root->findChild<QPushButton*>(QStringLiteral("commandRefreshButton"));
}

QString refreshText(const QWidget* root)
{
    const auto* found = refreshButton(root);
    return found ? found->text() : QStringLiteral("<none>");
}

// The application's own dark appearance over the current palette.
QPalette darkPalette()
{
    return MainWindow::paletteFor(Theme::dark, QApplication::palette());
}

QPushButton* button(const QWidget* root, const QString& name)
{
    auto* found = root->findChild<QPushButton*>(name);
    if (!found)
        qWarning("no button %s", qPrintable(name));
    return found;
}

} // namespace

class TestUpdateSheet : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void review_data()
    {
        QTest::addColumn<QStringList>("batch");
        QTest::addColumn<QStringList>("sudo");
        QTest::addColumn<bool>("unavailableShown");

        QTest::newRow("both lists") << QStringList{"Alpha*", "Beta*"} << QStringList{"Gamma*$"} << true;
        QTest::newRow("no password apps") << QStringList{"Alpha*"} << QStringList{} << false;
        QTest::newRow("only password apps") << QStringList{} << QStringList{"Gamma*$", "Delta*$"} << true;
        QTest::newRow("both empty") << QStringList{} << QStringList{} << false;
    }

    void review()
    {
        QFETCH(QStringList, batch);
        QFETCH(QStringList, sudo);
        QFETCH(bool, unavailableShown);
        const ApplicationList batchApps = apps(batch);
        const ApplicationList sudoApps = apps(sudo);
        ReviewView view(batchApps, sudoApps);

        QCOMPARE(badgeText(&view, "availableCount"), QString::number(batch.size()));
        const auto* password = view.findChild<QWidget*>("passwordRequiredApps");
        QCOMPARE(password != nullptr, unavailableShown);
        QCOMPARE(view.findChild<QWidget*>("divider") != nullptr, unavailableShown);
        QStringList reviewRows, passwordRows;
        for (const auto* row : view.findChildren<UpdateSheetAppRow*>()) {
            (row->kind() == UpdateSheetAppRow::Kind::review ? reviewRows : passwordRows)
                .append(row->application()->name());
            // Every password row carries the password badge; review rows never do.
            QCOMPARE(row->findChild<QWidget*>("passwordBadge") != nullptr,
                     row->kind() == UpdateSheetAppRow::Kind::passwordRequired);
        }
        QCOMPARE(reviewRows, batch.replaceInStrings(QRegularExpression("[*$]"), QString()));
        QCOMPARE(passwordRows, sudo.replaceInStrings(QRegularExpression("[*$]"), QString()));
        if (unavailableShown) {
            QCOMPARE(badgeText(&view, "unavailableCount"), QString::number(sudo.size()));
            QCOMPARE(labelText(&view, "passwordNote"),
                     QStringLiteral("These apps require your password to update. You can update them "
                                    "individually from the main app list."));
        }
    }

    void rowBadgeAndVersions()
    {
        // No update and no source: no badge, and the version line says there is no update.
        auto bare = Application::create(QStringLiteral("Bare <b>x</b>"), QStringLiteral("com.example.bare"),
                                        QUrl::fromLocalFile("/Applications/Bare.app"), QStringLiteral("1.0"),
                                        QList<Application::Source>{});
        UpdateSheetAppRow password(UpdateSheetAppRow::Kind::passwordRequired, bare);
        QVERIFY(!password.findChild<SourceBadgeView*>());
        QVERIFY(password.findChild<QWidget*>("passwordBadge"));
        QCOMPARE(labelText(&password, "noUpdate"), QStringLiteral("No update available"));
        const auto* name = password.findChild<QLabel*>("appName");
        QCOMPARE(name->textFormat(), Qt::PlainText);
        QCOMPARE(name->text(), bare->name());

        // Without an update the first listed source names the badge; an update's source wins.
        bare->setSource({Application::Source::appStore, Application::Source::homebrew});
        QTRY_COMPARE(password.findChild<SourceBadgeView*>() ? password.findChild<SourceBadgeView*>()->source()
                                                            : Application::Source::other,
                     Application::Source::appStore);
        bare->setUpdate(makeUpdate(QStringLiteral("2.0"), Update::Source::sparkle));
        QTRY_COMPARE(labelText(&password, "latestVersion"), QStringLiteral("2.0"));
        QCOMPARE(password.findChild<SourceBadgeView*>()->source(), Application::Source::sparkle);
    }

    void presenterSplitsAndFollowsTheFlag()
    {
        MainWindowTestWorld world;
        auto sparkleSudo = MainWindowTestWorld::app("Spark*$", {Application::Source::sparkle});
        world.store.setApplications(apps({"Alpha*", "Brew*$", "Plain", "Ignored*!"}) << sparkleSudo);
        const auto split = UpdateSheetPresenter::split(world.store.applications());
        QCOMPARE(names(split.applications), (QStringList{"Alpha", "Spark"}));
        QCOMPARE(names(split.sudoRequiredApps), QStringList{"Brew"});

        QWidget window;
        UpdateSheetPresenter presenter(world.sidebar, world.detail, world.store, &window);
        QVERIFY(!presenter.sheet());
        world.sidebar.setShowUpdateSheet(true);
        QVERIFY(presenter.sheet());
        QCOMPARE(presenter.sheet()->size(), QSize(700, 450));
        QCOMPARE(names(presenter.sheet()->applications()), (QStringList{"Alpha", "Spark"}));
        QCOMPARE(labelText(presenter.sheet(), "sheetTitle"), QStringLiteral("Update Review"));
        QCOMPARE(button(presenter.sheet(), "updateButton")->text(), QStringLiteral("Update (2)"));
        button(presenter.sheet(), "cancelButton")->click();
        QVERIFY(!world.sidebar.showUpdateSheet());
        QTRY_VERIFY(!presenter.sheet());
        QCOMPARE(world.coordinator.calls(), QStringList{});
    }

    void batchRunsOneAtATimeAndEndsOnTheResults()
    {
        MainWindowTestWorld world;
        const ApplicationList batch = apps({"Alpha*", "Beta*", "Gamma*"});
        // Beta and Gamma update from build 200 to build 210 of version 2.0.
        for (const auto& app : batch.mid(1)) {
            app->setCurrentVersion(QStringLiteral("2.0,200"));
            app->setUpdate(makeUpdate(QStringLiteral("2.0,210")));
        }
        world.store.setApplications(batch);
        for (const auto& app : batch)
            world.keepOnDisk(app);
        world.updates->setUpdateError(batch.at(1)->bundleIdentifier(), QStringLiteral("Checksum mismatch"));
        auto gate = world.gate();
        world.updates->setUpdateGate(batch.at(0)->bundleIdentifier(), gate);

        UpdateSheetView sheet(batch, {}, world.sidebar, world.detail, world.store);
        QStringList seen;
        connect(&sheet, &UpdateSheetView::stateChanged, &sheet, [&] {
            if (sheet.currentProgress() && (seen.isEmpty() || seen.last() != sheet.currentProgress()->application->name()))
                seen.append(sheet.currentProgress()->application->name());
        });
        button(&sheet, "updateButton")->click();
        QCOMPARE(sheet.phase(), Phase::processing);
        QCOMPARE(labelText(&sheet, "sheetSubtitle"), QStringLiteral("Updating 1 of 3 apps"));
        QVERIFY(!sheet.currentProgress());
        QVERIFY(shown(&sheet, "cancelBatchButton"));
        QVERIFY(!shown(&sheet, "updateButton"));
        // Before the first report: no current application, the queue from the second on.
        QVERIFY(!sheet.findChild<QWidget*>("currentUpdate"));
        QCOMPARE(labelText(&sheet, "percentText"), QStringLiteral("0%"));

        QTRY_COMPARE(gate->arrivals(), 1);
        QTRY_VERIFY(sheet.findChild<QWidget*>("currentUpdate"));
        QCOMPARE(rowNames(sheet.findChild<QWidget*>("upNext")), (QStringList{"Beta", "Gamma"}));
        test::renderToPng(&sheet, "updatesheet-processing");
        gate->open();

        QTRY_COMPARE(sheet.phase(), Phase::complete);
        QCOMPARE(world.updates->chunks(),
                 (QList<QStringList>{{"com.example.alpha"}, {"com.example.beta"}, {"com.example.gamma"}}));
        QCOMPARE(seen, (QStringList{"Alpha", "Beta", "Gamma"}));
        QCOMPARE(labelText(&sheet, "sheetSubtitle"), QStringLiteral("Update complete"));
        QVERIFY(shown(&sheet, "doneButton"));
        QVERIFY(!shown(&sheet, "cancelBatchButton"));
        QVERIFY(!sheet.findChild<QWidget*>("updateInProgress"));
        QCOMPARE(rowNames(sheet.findChild<QWidget*>("successfulUpdates")), (QStringList{"Alpha", "Gamma"}));
        QCOMPARE(rowNames(sheet.findChild<QWidget*>("failedUpdates"), "failedCard"), QStringList{"Beta"});
        // The failed card names both builds; an updated row has no update left, so its installed
        // version reads without its build.
        const auto* failedCard = sheet.findChild<QWidget*>("failedCard");
        QCOMPARE(failedCard->findChild<ElidingLabel*>("currentVersion")->fullText(),
                 QStringLiteral("2.0 (200)"));
        QCOMPARE(failedCard->findChild<ElidingLabel*>("latestVersion")->fullText(),
                 QStringLiteral("2.0 (210)"));
        const auto updatedRows =
            sheet.findChild<QWidget*>("successfulUpdates")->findChildren<QWidget*>("appRow");
        QCOMPARE(updatedRows.at(1)->findChild<ElidingLabel*>("currentVersion")->fullText(),
                 QStringLiteral("2.0"));
        QCOMPARE(badgeText(&sheet, "updatedCount"), QStringLiteral("2"));
        QCOMPARE(badgeText(&sheet, "failedCount"), QStringLiteral("1"));
        QVERIFY(world.log.contains(Logger::Level::info, "Update queue complete: 2 successful, 1 failed"));
        test::renderToPng(&sheet, "updatesheet-results");

        button(&sheet, "doneButton")->click();
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
    }

    void nothingToUpdateStartsNothing()
    {
        MainWindowTestWorld world;
        UpdateSheetView sheet({}, apps({"Locked*$"}), world.sidebar, world.detail, world.store);
        QCOMPARE(sheet.overallProgress(), 0.0);
        QPushButton* update = button(&sheet, "updateButton");
        QCOMPARE(update->text(), QStringLiteral("Update (0)"));
        QVERIFY(!update->isEnabled());
        QCOMPARE(update->palette().color(QPalette::Disabled, QPalette::Button),
                 button(&sheet, "cancelButton")->palette().color(QPalette::Disabled, QPalette::Button));
        test::renderToPng(&sheet, "updatesheet-review-empty");
        sheet.startUpdates(); // as a click that came before the button's redraw
        QCOMPARE(sheet.phase(), Phase::review);
    }

    void anUpdateGoneMeanwhileLeavesTheBatch_data()
    {
        // Beta's update went (Alpha's too once started), or a Refresh listed Beta anew without its
        // update, or not at all (rows), and Alpha anew with its update.
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<bool>("started");     // else before, in the review
        QTest::addColumn<QStringList>("rows"); // the review's
        QTest::addColumn<QStringList>("updated");
        const QStringList both{"Alpha", "Beta"}, alpha{"Alpha"};
        QTest::newRow("its update went") << "installed" << false << both << alpha;
        QTest::newRow("a Refresh lists it anew without its update") << "refreshed" << false << both << alpha;
        QTest::newRow("a Refresh no longer lists it") << "refreshed" << false << alpha << alpha;
        QTest::newRow("listed anew once started") << "refreshed" << true << both << alpha;
        QTest::newRow("no longer listed once started") << "refreshed" << true << alpha << alpha;
        QTest::newRow("every update went once started") << "installed" << true << both << QStringList{};
    }
    // An update installed or gone meanwhile, or a Refresh that lists the application anew or no
    // more, leaves the review's counts, says so in its row, and stays out of the batch and its
    // failures; the batch runs on the objects listed now, so its result shows the version installed.
    void anUpdateGoneMeanwhileLeavesTheBatch()
    {
        QFETCH(QString, meanwhile);
        QFETCH(bool, started);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, updated);
        MainWindowTestWorld world;
        const ApplicationList batch = apps({"Alpha*", "Beta*"});
        world.store.setApplications(batch);
        const auto alpha = meanwhile == "refreshed" ? MainWindowTestWorld::app("Alpha*") : batch.at(0);
        world.discovery->setRediscovered(
            alpha->path(),
            Application::create("Alpha", alpha->bundleIdentifier(), alpha->path(), "2.0", alpha->source()));
        const auto change = [&] {
            if (meanwhile == "refreshed")
                world.store.setApplications(ApplicationList{alpha} + apps(rows.mid(1)));
            else
                for (const auto& app : batch.mid(started ? 0 : 1))
                    app->setUpdate(std::nullopt);
        };
        UpdateSheetView sheet(batch, {}, world.sidebar, world.detail, world.store);
        if (!started)
            change();
        const QString due = QString::number(started ? 2 : 1);
        QTRY_COMPARE(button(&sheet, "updateButton")->text(), "Update (" + due + ")");
        QTRY_COMPARE(rowNames(sheet.findChild<QWidget*>("reviewView")), (started ? names(batch) : rows));
        QCOMPARE(badgeText(&sheet, "availableCount"), due);
        if (!started && rows.size() > 1)
            QTRY_COMPARE(labelText(sheet.findChildren<UpdateSheetAppRow*>().at(1), "noUpdate"),
                         QStringLiteral("No update available"));
        test::renderToPng(&sheet, "updatesheet-review-gone");

        button(&sheet, "updateButton")->click();
        if (started)
            change(); // before the batch's first turn, which looks at the list on this thread
        QCOMPARE(labelText(&sheet, "sheetSubtitle"), "Updating 1 of " + due + " apps");
        QTRY_COMPARE(sheet.phase(), Phase::complete);
        QCOMPARE(rowNames(sheet.findChild<QWidget*>("successfulUpdates")), updated);
        QCOMPARE(labelText(&sheet, "sheetSubtitle"),
                 updated.isEmpty() ? "Nothing updated: no update available any more" : "Update complete");
        if (!updated.isEmpty())
            QCOMPARE(sheet.findChild<ElidingLabel*>("currentVersion")->fullText(), QStringLiteral("2.0"));
        QVERIFY(!sheet.findChild<QWidget*>("failedUpdates"));
        const auto n = updated.size();
        test::renderToPng(&sheet, QStringLiteral("updatesheet-complete-%1").arg(n));
        QVERIFY(world.log.contains(Logger::Level::info,
                                   QStringLiteral("Batch update complete: %1/%1 successful").arg(n)));
        QVERIFY(world.log.contains(Logger::Level::info,
                                   QStringLiteral("Update queue complete: %1 successful, 0 failed").arg(n)));
    }

    // Cancelling stops before the next application, but the update under way may still run
    // until its tool gives up: the sheet says so, can be left and opened again on the same batch,
    // its card keeps the update's versions after the application has dropped its record, and
    // "Cancelling..." turns.
    void cancelStopsBeforeTheNextApplication()
    {
        MainWindowTestWorld world;
        const ApplicationList batch = apps({"Alpha*", "Beta*"});
        world.store.setApplications(batch);
        world.keepOnDisk(batch.at(0));
        auto gate = world.gate();
        world.updates->setUpdateGate(batch.at(0)->bundleIdentifier(), gate);
        QWidget window;
        UpdateSheetPresenter presenter(world.sidebar, world.detail, world.store, &window);
        world.sidebar.setShowUpdateSheet(true);
        QPointer<UpdateSheetView> first = presenter.sheet();
        first->show();
        button(first, "updateButton")->click();
        QTRY_COMPARE(gate->arrivals(), 1);
        QTRY_VERIFY(first->findChild<CurrentUpdateView*>());
        const auto latestVersion = [&first] {
            const auto* label = first->findChild<CurrentUpdateView*>()->findChild<ElidingLabel*>("latestVersion");
            return label ? label->fullText() : QStringLiteral("<none>");
        };
        QCOMPARE(latestVersion(), QStringLiteral("2.0"));

        QPushButton* cancel = button(first, "cancelBatchButton");
        QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
        cancel->click();
        QVERIFY(first->isCancelling());
        QVERIFY(!cancel->isEnabled());
        QVERIFY(!shown(first, "doneButton"));
        auto* spinner = first->findChild<BusyIndicator*>("cancellingSpinner");
        QVERIFY(spinner && spinner->isVisible());
        const int phase = spinner->phase();
        QTRY_VERIFY(spinner->phase() != phase);
        // The coordinator's cancel returns while the first update still runs: the sheet goes
        // on saying so until that update has ended.
        QTRY_VERIFY(world.log.contains(Logger::Level::info, "Updates cancelled"));
        QVERIFY(world.log.contains(Logger::Level::info, "Cancelling updates..."));
        QCOMPARE(first->phase(), Phase::processing);
        QVERIFY(first->isCancelling());

        QPointer<QWidget> line = first->findChild<CurrentUpdateView*>()->findChild<QWidget*>("versionLine");
        batch.at(0)->setUpdate(std::nullopt);
        QTRY_VERIFY(!line); // the header was built again
        QCOMPARE(latestVersion(), QStringLiteral("2.0"));
        QTRY_VERIFY(first->findChild<CurrentUpdateView*>()->findChild<QWidget*>("versionLine")->isVisible());
        first->setPalette(darkPalette());
        test::renderToPng(first, "updatesheet-cancelling-dark");

        QVERIFY(shown(first, "closeWhileCancellingButton"));
        QTest::keyClick(first, Qt::Key_Escape);
        QTRY_VERIFY(!first);
        QVERIFY(!world.sidebar.showUpdateSheet());
        world.sidebar.setShowUpdateSheet(true);
        QVERIFY(presenter.sheet()->isCancelling());
        QCOMPARE(labelText(presenter.sheet(), "sheetSubtitle"), QStringLiteral("Updating 1 of 2 apps"));
        first = presenter.sheet(); // a new card, on the versions the batch kept
        QCOMPARE(latestVersion(), QStringLiteral("2.0"));
        button(presenter.sheet(), "closeWhileCancellingButton")->click();
        QTRY_VERIFY(!presenter.sheet());
        world.sidebar.setShowUpdateSheet(true);

        gate->open();
        UpdateSheetView& sheet = *presenter.sheet();
        QTRY_COMPARE(sheet.phase(), Phase::complete);
        QVERIFY(!sheet.isCancelling());
        QCOMPARE(labelText(&sheet, "sheetSubtitle"), QStringLiteral("Update complete"));
        QCOMPARE(sheet.results().size(), 1);
        QCOMPARE(sheet.results().first().application->name(), QStringLiteral("Alpha"));
        QCOMPARE(world.updates->chunks(), QList<QStringList>{{"com.example.alpha"}});
        QCOMPARE(rowNames(sheet.findChild<QWidget*>("successfulUpdates")), QStringList{"Alpha"});
    }

    void closingMidBatchLeavesTheBatchRunning()
    {
        MainWindowTestWorld world;
        const ApplicationList batch = apps({"Alpha*", "Beta*"});
        world.store.setApplications(batch);
        auto gate = world.gate();
        world.updates->setUpdateGate(batch.at(0)->bundleIdentifier(), gate);
        auto* sheet = new UpdateSheetView(batch, {}, world.sidebar, world.detail, world.store);
        button(sheet, "updateButton")->click();
        QTRY_COMPARE(gate->arrivals(), 1);
        button(sheet, "cancelBatchButton")->click();
        delete sheet;
        // The cancel travels through a worker thread; the first update may end only once it has
        // landed, or the second one could already have started.
        QTRY_VERIFY(!world.coordinator.hasActiveBatch());
        gate->open();
        QTRY_VERIFY(!world.coordinator.isUpdating());
        QTRY_VERIFY(world.log.contains(Logger::Level::info, "Updates cancelled"));
        // The batch ends, and says so, without its sheet.
        QTRY_VERIFY(world.log.contains(Logger::Level::info, "Update queue complete: 1 successful, 0 failed"));
    }

    void sheetHoldsWhileTheBatchRunsAndReopensOnIt()
    {
        MainWindowTestWorld world;
        const ApplicationList batch = apps({"Alpha*", "Beta*"});
        world.select(batch.at(1), {batch.at(0)});
        auto gate = world.gate();
        world.updates->setUpdateGate(batch.at(1)->bundleIdentifier(), gate);
        QWidget window;
        UpdateSheetPresenter presenter(world.sidebar, world.detail, world.store, &window);
        world.sidebar.setShowUpdateSheet(true);
        QPointer<UpdateSheetView> first = presenter.sheet();
        first->show();
        button(first, "updateButton")->click();
        QTRY_COMPARE(gate->arrivals(), 1);
        QTRY_VERIFY(world.detail.isUpdating());

        QTest::keyClick(first, Qt::Key_Escape);
        first->close();
        QVERIFY(first->isVisible());
        QVERIFY(world.sidebar.showUpdateSheet());

        // Closed from elsewhere, the sheet goes and the batch goes on; opened again, the sheet
        // shows that batch.
        world.sidebar.setShowUpdateSheet(false);
        QTRY_VERIFY(!first);
        world.sidebar.setShowUpdateSheet(true);
        QCOMPARE(presenter.sheet()->phase(), Phase::processing);
        QCOMPARE(labelText(presenter.sheet(), "sheetSubtitle"), QStringLiteral("Updating 1 of 2 apps"));
        QVERIFY(presenter.sheet()->findChild<QWidget*>("currentUpdate"));
        world.sidebar.setShowUpdateSheet(false);
        QTRY_VERIFY(!presenter.sheet());

        gate->open();
        QTRY_VERIFY(world.log.contains(Logger::Level::info, "Update queue complete: 2 successful, 0 failed"));
        QVERIFY(!world.detail.isUpdating());
        QVERIFY(!world.detail.updateProgress()); // its last record was still in flight
        QTRY_VERIFY(!world.coordinator.isUpdating());
        world.sidebar.setShowUpdateSheet(true);
        QCOMPARE(presenter.sheet()->phase(), Phase::review);
    }

    void refusedBatchSaysSo()
    {
        MainWindowTestWorld world;
        const ApplicationList batch = apps({"Alpha*"});
        world.store.setApplications(batch);
        auto gate = world.gate();
        world.updates->setUpdateGate(batch.at(0)->bundleIdentifier(), gate);
        UpdateSheetView running(batch, {}, world.sidebar, world.detail, world.store);
        button(&running, "updateButton")->click();
        QTRY_COMPARE(gate->arrivals(), 1);

        UpdateSheetView refused(batch, {}, world.sidebar, world.detail, world.store);
        button(&refused, "updateButton")->click();
        QTRY_COMPARE(refused.phase(), Phase::complete);
        QCOMPARE(labelText(&refused, "sheetSubtitle"),
                 QStringLiteral("Not started: another update or an adoption is already running"));
        gate->open();
        QTRY_COMPARE(running.phase(), Phase::complete);
        QCOMPARE(labelText(&running, "sheetSubtitle"), QStringLiteral("Update complete"));
        QCOMPARE(running.overallProgress(), 1.0);
    }

    void reportStormRedrawsOnceAndInPlace()
    {
        MainWindowTestWorld world;
        const ApplicationList batch = apps({"Alpha*", "Beta*", "Gamma*"});
        world.store.setApplications(batch);
        auto gate = world.gate();
        world.updates->setUpdateGate(batch.at(0)->bundleIdentifier(), gate);
        UpdateSheetView sheet(batch, {}, world.sidebar, world.detail, world.store);
        sheet.show();
        button(&sheet, "updateButton")->click();
        QTRY_COMPARE(gate->arrivals(), 1);
        QTRY_VERIFY(sheet.findChild<CurrentUpdateView*>());
        auto* current = sheet.findChild<CurrentUpdateView*>();
        auto* panel = current->findChild<UpdateProgressView*>();
        auto* upNext = sheet.findChild<QWidget*>("upNext");

        int redraws = 0;
        connect(&sheet, &UpdateSheetView::stateChanged, &sheet, [&redraws] { ++redraws; });
        const QString longLine = QString(3000, QLatin1Char('#')) + QStringLiteral(" 100.0%");
        for (int i = 0; i < 100; ++i)
            sheet.handleProgress(0, report(batch.at(0), i % 2 ? Status::downloading : Status::failed, longLine));
        QCOMPARE(redraws, 0);
        QTRY_COMPARE(redraws, 1);
        QVERIFY(sheet.findChild<CurrentUpdateView*>() == current);
        QVERIFY(sheet.findChild<QWidget*>("upNext") == upNext);
        QCOMPARE(sheet.completedAppsCount(), 0);

        sheet.handleProgress(0, report(batch.at(0), Status::downloading, longLine));
        QTRY_COMPARE(redraws, 2);
        QVERIFY(current->findChild<UpdateProgressView*>() == panel);
        const auto* step = current->findChild<QLabel*>("currentStep");
        QTRY_COMPARE(step->toolTip(), longLine);
        QVERIFY(step->text().size() < longLine.size());
        const auto* content = sheet.findChild<QWidget*>("processingContent");
        QTRY_VERIFY(content->width() <= sheet.findChild<QScrollArea*>()->viewport()->width());
        QCOMPARE(sheet.size(), QSize(700, 450));
        test::renderToPng(&sheet, "updatesheet-long-line");
        gate->open();
        QTRY_COMPARE(sheet.phase(), Phase::complete);
    }

    void followsAThemeSwitch()
    {
        MainWindowTestWorld world;
        const ApplicationList batch = apps({"Alpha*", "Beta*"});
        UpdateSheetView sheet(batch, apps({"Locked*$"}), world.sidebar, world.detail, world.store);
        const QPalette light = QApplication::palette();
        const QColor darkText = darkPalette().color(QPalette::WindowText);
        QApplication::setPalette(darkPalette());
        const auto ink = [&sheet](const QString& name) {
            return sheet.findChild<QLabel*>(name)->palette().color(QPalette::WindowText);
        };
        QTRY_COMPARE(ink("sheetTitle"), darkText);
        QCOMPARE(ink("appName"), darkText);
        QCOMPARE(ink("passwordNote"), SystemColors::secondary());
        test::renderToPng(&sheet, "updatesheet-review-dark");
        QApplication::setPalette(light);
        QTRY_COMPARE(ink("sheetTitle"), light.color(QPalette::WindowText));
    }

    void earlyCancelNeverReadsAsRefused()
    {
        MainWindowTestWorld world;
        const ApplicationList batch = apps({"Alpha*", "Beta*"});
        world.store.setApplications(batch);
        // The first application waits until the cancel has landed, so the fakes cannot finish
        // the whole batch before the cancel is even sent.
        const auto gate = std::make_shared<TestGate>();
        world.updates->setUpdateGate(batch.at(0)->bundleIdentifier(), gate);
        UpdateSheetView sheet(batch, {}, world.sidebar, world.detail, world.store);
        // Cancelled before the coordinator may even have seen the batch: whichever side wins,
        // at most the first application runs and the sheet reports a finished batch.
        sheet.startUpdates();
        sheet.cancelBatch();
        QTRY_VERIFY(gate->arrivals() == 1 || sheet.phase() == Phase::complete);
        QTRY_VERIFY(!world.coordinator.hasActiveBatch());
        gate->open();
        QTRY_COMPARE(sheet.phase(), Phase::complete);
        QCOMPARE(labelText(&sheet, "sheetSubtitle"), QStringLiteral("Update complete"));
        QVERIFY(sheet.results().size() <= 1);
        QVERIFY(world.updates->chunks().size() <= 1);
        QTRY_VERIFY(!world.coordinator.isUpdating());
    }

    void incrementalMatchesAFreshBuild_data()
    {
        QTest::addColumn<int>("fromIndex");
        QTest::addColumn<int>("fromStatus"); // -1: no report yet
        QTest::addColumn<int>("toIndex");
        QTest::addColumn<int>("toStatus");
        QTest::addColumn<bool>("toCompleted");
        QTest::newRow("first report") << 0 << -1 << 0 << int(Status::queued) << false;
        QTest::newRow("queue advances") << 0 << int(Status::installing) << 2 << int(Status::downloading) << false;
        QTest::newRow("current fails") << 1 << int(Status::downloading) << 1 << int(Status::failed) << false;
        QTest::newRow("to the last") << 1 << int(Status::failed) << 3 << int(Status::queued) << false;
        QTest::newRow("batch ends") << 2 << int(Status::installing) << 2 << int(Status::completed) << true;
    }

    void incrementalMatchesAFreshBuild()
    {
        QFETCH(int, fromIndex);
        QFETCH(int, fromStatus);
        QFETCH(int, toIndex);
        QFETCH(int, toStatus);
        QFETCH(bool, toCompleted);
        MainWindowTestWorld world;
        ProcessingView::State from;
        from.applications = apps({"A*", "B*", "C*", "D*"});
        from.currentIndex = fromIndex;
        if (fromStatus >= 0)
            from.currentProgress = report(from.applications[fromIndex], Status(fromStatus));
        ProcessingView::State to = from;
        to.currentIndex = toIndex;
        to.currentProgress = report(to.applications[toIndex], Status(toStatus));
        to.hasCompleted = toCompleted;
        to.overallProgress = 0.5;
        if (toCompleted)
            to.results = {result(to.applications[0], true), result(to.applications[1], false)};

        ProcessingView changed(from, world.detail, world.store);
        changed.setState(to);
        ProcessingView fresh(to, world.detail, world.store);
        for (const char* name : {"updateInProgress", "currentUpdate", "upNext", "resultsView", "failedUpdates"})
            QCOMPARE(changed.findChild<QWidget*>(name) != nullptr, fresh.findChild<QWidget*>(name) != nullptr);
        QCOMPARE(rowNames(changed.findChild<QWidget*>("upNext")), rowNames(fresh.findChild<QWidget*>("upNext")));
        QCOMPARE(badgeText(&changed, "upNextCount"), badgeText(&fresh, "upNextCount"));
        QCOMPARE(labelText(&changed, "percentText"), labelText(&fresh, "percentText"));
        const auto* a = changed.findChild<CurrentUpdateView*>();
        const auto* b = fresh.findChild<CurrentUpdateView*>();
        for (const char* name : {"appName", "latestVersion", "currentStep"}) {
            if (!a || !b)
                break;
            QCOMPARE(labelText(a, name), labelText(b, name));
            QCOMPARE(shown(a, name), shown(b, name));
            QCOMPARE(a->findChild<QLabel*>(name)->palette().color(QPalette::WindowText),
                     b->findChild<QLabel*>(name)->palette().color(QPalette::WindowText));
            QCOMPARE(a->findChild<UpdateProgressView*>() != nullptr, b->findChild<UpdateProgressView*>() != nullptr);
        }
    }

    void progressReports_data()
    {
        QTest::addColumn<QList<int>>("apps");        // index into the batch, -1 for a stranger
        QTest::addColumn<QList<Status>>("statuses");
        QTest::addColumn<int>("completed");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("failedStep");     // of the batch's first application, "" for none
        QTest::addColumn<bool>("detailUpdating");    // the selected (first) application

        // Reports never count by their status (brew's output lines carry one too); an
        // application finishes when a later one reports, and then leaves the detail pane.
        QTest::newRow("in flight") << QList<int>{0} << QList<Status>{Status::downloading} << 0 << 0 << "" << true;
        QTest::newRow("a completed report alone does not count")
            << QList<int>{0, 0} << QList<Status>{Status::installing, Status::completed} << 0 << 0 << "" << true;
        QTest::newRow("two failures: the later stays, neither counts")
            << QList<int>{0, 0} << QList<Status>{Status::failed, Status::failed} << 0 << 0 << "failed 2" << true;
        QTest::newRow("a later application finishes the earlier one")
            << QList<int>{0, 1, 1} << QList<Status>{Status::downloading, Status::queued, Status::failed} << 1 << 1
            << "" << false;
        QTest::newRow("another application leaves the detail alone")
            << QList<int>{1} << QList<Status>{Status::verifying} << 1 << 1 << "" << false;
        QTest::newRow("a stranger changes nothing") << QList<int>{-1} << QList<Status>{Status::failed} << 0 << 0
                                                    << "" << false;
        QTest::newRow("back to an earlier position counts nothing again")
            << QList<int>{1, 0, 1} << QList<Status>{Status::completed, Status::failed, Status::completed} << 1 << 1
            << "failed 2" << false;
    }

    void progressReports()
    {
        QFETCH(QList<int>, apps);
        QFETCH(QList<Status>, statuses);
        QFETCH(int, completed);
        QFETCH(int, index);
        QFETCH(QString, failedStep);
        QFETCH(bool, detailUpdating);
        MainWindowTestWorld world;
        const ApplicationList batch = ::apps({"Alpha*", "Beta*"});
        const auto stranger = MainWindowTestWorld::app("Stranger*");
        world.select(batch.at(0), batch.mid(1));
        UpdateSheetView sheet(batch, {}, world.sidebar, world.detail, world.store);

        for (int i = 0; i < apps.size(); ++i) {
            const auto app = apps.at(i) < 0 ? stranger : batch.at(apps.at(i));
            forwardProgressToMainActor(report(app, statuses.at(i), toRawValue(statuses.at(i)) + " " + QString::number(i + 1)),
                                       batch, [&sheet](int position, const UpdateProgress& p) {
                                           sheet.handleProgress(position, p);
                                       });
        }
        QCoreApplication::sendPostedEvents();
        QCOMPARE(sheet.completedAppsCount(), completed);
        QCOMPARE(sheet.currentIndex(), index);
        QCOMPARE(sheet.overallProgress(), completed / 2.0);
        const auto failed = sheet.failedProgressMap().value(batch.at(0)->id());
        QCOMPARE(failed.currentStep, failedStep);
        QCOMPARE(world.detail.isUpdating(), detailUpdating);
        const bool touchedSelected = apps.contains(0);
        QCOMPARE(world.detail.updateProgress().has_value(), touchedSelected);
    }

    void processingChildren_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("status"); // -1: no report yet
        QTest::addColumn<bool>("completed");
        QTest::addColumn<QStringList>("upNext");
        QTest::addColumn<bool>("current");
        QTest::addColumn<bool>("panel");
        QTest::addColumn<bool>("step");

        QTest::newRow("before the first report") << 0 << -1 << false << QStringList{"B", "C"} << false << false << false;
        QTest::newRow("queued") << 0 << int(Status::queued) << false << QStringList{"B", "C"} << true << true << false;
        QTest::newRow("downloading") << 1 << int(Status::downloading) << false << QStringList{"C"} << true << true << true;
        QTest::newRow("cancelled") << 1 << int(Status::cancelled) << false << QStringList{"C"} << true << true << true;
        QTest::newRow("completed, last") << 2 << int(Status::completed) << false << QStringList{} << true << false << true;
        QTest::newRow("failed") << 2 << int(Status::failed) << false << QStringList{} << true << false << true;
        QTest::newRow("index past the end") << 5 << int(Status::installing) << false << QStringList{} << false << false
                                            << false;
        QTest::newRow("completed batch") << 0 << int(Status::installing) << true << QStringList{} << false << false
                                         << false;
    }

    void processingChildren()
    {
        QFETCH(int, index);
        QFETCH(int, status);
        QFETCH(bool, completed);
        QFETCH(QStringList, upNext);
        QFETCH(bool, current);
        QFETCH(bool, panel);
        QFETCH(bool, step);
        MainWindowTestWorld world;
        ProcessingView::State state;
        state.applications = apps({"A*", "B*", "C*"});
        state.currentIndex = index;
        if (status >= 0)
            state.currentProgress = report(state.applications.value(qMin(index, 2)), Status(status));
        state.hasCompleted = completed;
        state.overallProgress = 0.999;
        ProcessingView view(state, world.detail, world.store);

        QCOMPARE(view.findChild<QWidget*>("updateInProgress") != nullptr, !completed);
        if (!completed)
            QCOMPARE(labelText(&view, "percentText"), QStringLiteral("99%"));
        QCOMPARE(rowNames(view.findChild<QWidget*>("upNext")), upNext);
        const auto* currentView = view.findChild<QWidget*>("currentUpdate");
        QCOMPARE(currentView != nullptr, current);
        if (currentView) {
            QCOMPARE(currentView->findChild<UpdateProgressView*>() != nullptr, panel);
            QCOMPARE(shown(currentView, "currentStep"), step);
            const auto* latest = currentView->findChild<QLabel*>("latestVersion");
            const QColor colour = latest->palette().color(QPalette::WindowText);
            QCOMPARE(colour, Status(status) == Status::failed ? SystemColors::red() : SystemColors::green());
        }
        QVERIFY(!view.findChild<QWidget*>("resultsView"));
    }

    void percentText_data()
    {
        QTest::addColumn<double>("fraction");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0%";
        QTest::newRow("half") << 0.5 << "50%";
        QTest::newRow("never rounded up") << 0.999 << "99%";
        QTest::newRow("done") << 1.0 << "100%";
    }

    void percentText()
    {
        QFETCH(double, fraction);
        QFETCH(QString, text);
        QCOMPARE(ProcessingView::percentText(fraction), text);
    }

    void resultsKeepOrderAndShareFailedPanels()
    {
        MainWindowTestWorld world;
        const ApplicationList batch = apps({"A*", "B*", "C*", "D*"});
        const QList<Update::Result> results{result(batch[0], false), result(batch[1], true), result(batch[2], false),
                                            result(batch[3], true), result(batch[0], false)};
        QHash<QUuid, UpdateProgress> failedMap{{batch[0]->id(), report(batch[0], Status::failed, "Checksum mismatch")}};
        ProcessingView::State state{batch, 3, std::nullopt, 1.0, results, true, failedMap};
        ProcessingView view(state, world.detail, world.store);

        QCOMPARE(rowNames(view.findChild<QWidget*>("successfulUpdates")), (QStringList{"B", "D"}));
        const auto cards = view.findChildren<QWidget*>("failedCard");
        QCOMPARE(rowNames(view.findChild<QWidget*>("failedUpdates"), "failedCard"), (QStringList{"A", "C", "A"}));
        // Keyed by application: both failures of A show its panel; C has none, so no refresh,
        // but its error text, which nothing else would show.
        QCOMPARE(cards.at(0)->findChildren<UpdateProgressView*>().size(), 1);
        QCOMPARE(cards.at(1)->findChildren<UpdateProgressView*>().size(), 0);
        QCOMPARE(cards.at(2)->findChildren<UpdateProgressView*>().size(), 1);
        QCOMPARE(labelText(cards.at(0), "updateCurrentStep"), QStringLiteral("Checksum mismatch"));
        QCOMPARE(labelText(cards.at(0), "updateStatusTitle"), QStringLiteral("Failed to Update"));
        QCOMPARE(labelText(cards.at(1), "failureText"), QStringLiteral("boom"));
        QCOMPARE(labelText(cards.at(0), "failureText"), QStringLiteral("<none>"));
        QVERIFY(!view.findChild<QWidget*>("updateInProgress"));
        QVERIFY(!view.findChild<QWidget*>("upNext"));
    }

    void refreshFromAFailedCard_data()
    {
        QTest::addColumn<bool>("detailHoldsThisApp");
        QTest::addColumn<bool>("feedUnread"); // the refresh's check cannot read the feed
        QTest::newRow("detail shows another application") << false << false;
        QTest::newRow("detail already shows this application") << true << false;
        QTest::newRow("the feed unread") << false << true;
    }

    void refreshFromAFailedCard()
    {
        QFETCH(bool, detailHoldsThisApp);
        QFETCH(bool, feedUnread);
        MainWindowTestWorld world;
        // A has a cask, so its failed panel offers the command box with "Refresh"; B has none.
        const ApplicationList batch = apps({"A*+", "B*"});
        world.select(batch[1], {batch[0]});
        const auto& a = batch[0];
        auto again = Application::create(a->name(), a->bundleIdentifier(), a->path(), a->currentVersion(), a->source());
        again->setCask(*a->cask());
        world.discovery->setRediscovered(a->path(), again);
        const UpdateProgress failed = report(batch[0], Status::failed, "Download failed");
        const UpdateProgress earlier = report(batch[0], Status::downloading);
        world.detail.setUpdateProgress(detailHoldsThisApp ? earlier : report(batch[1], Status::installing));
        auto gate = world.gate();
        world.coordinator.setGate(Op::refreshApplication, gate);
        if (feedUnread)
            world.updates->setUnreadSources({{a->bundleIdentifier(), {SourceFailure::updateFeed(), "offline"}}});

        FailedUpdateView view(world.detail, world.store, {result(batch[0], false), result(batch[1], false)},
                              {{batch[0]->id(), failed}});
        const auto cards = view.findChildren<QWidget*>("failedCard");
        QPushButton* refresh = refreshButton(cards.at(0));
        QVERIFY(refresh);
        QVERIFY(!refreshButton(cards.at(1)));
        refresh->click();

        QCOMPARE(world.store.selectedApplicationId(), std::optional(batch[0]->id()));
        QCOMPARE(world.detail.updateProgress()->id, detailHoldsThisApp ? earlier.id : failed.id);
        QTRY_COMPARE(refreshText(cards.at(0)), QStringLiteral("Checking..."));
        QTRY_COMPARE(gate->arrivals(), 1);
        QVERIFY(shown(cards.at(0), "refreshProgressView"));
        QCOMPARE(labelText(cards.at(0), "refreshTitle"), QStringLiteral("Refreshing..."));
        QCOMPARE(labelText(cards.at(0), "refreshSubtitle"), QStringLiteral("Checking for changes"));
        QVERIFY(!shown(cards.at(1), "refreshProgressView"));
        gate->open();
        QTRY_COMPARE(labelText(cards.at(0), "refreshTitle"),
                     feedUnread ? QStringLiteral("Check Failed") : QStringLiteral("Refreshed Successfully!"));
        QCOMPARE(labelText(cards.at(0), "refreshSubtitle"),
                 feedUnread ? QStringLiteral("The last check failed: offline")
                            : QStringLiteral("Grabbed the latest information for A"));
        // The action ends after the success has been shown for its while.
        QTRY_COMPARE(refreshText(cards.at(0)), QStringLiteral("Checking..."));
        QTRY_COMPARE(world.pauses.pending(), 1);
        world.pauses.endOldest();
        QTRY_COMPARE(refreshText(cards.at(0)), QStringLiteral("Refresh"));
        QTRY_VERIFY(!shown(cards.at(0), "refreshProgressView"));
        QCOMPARE(world.coordinator.calls(), QStringList{"refreshApplication A"});
    }

    void renderPhases()
    {
        MainWindowTestWorld world;
        const ApplicationList batch = apps({"Alpha*", "Beta*", "Gamma*"});
        UpdateSheetView review(batch, apps({"Locked*$"}), world.sidebar, world.detail, world.store);
        QVERIFY(!test::renderToPng(&review, "updatesheet-review").isEmpty());

        ProcessingView::State state{batch, 1, report(batch[1], Status::downloading, "Downloading Beta..."), 0.34,
                                    {result(batch[0], true)}, false, {}};
        ProcessingView processing(state, world.detail, world.store);
        QVERIFY(!test::renderToPng(&processing, "updatesheet-processing-view", QSize(700, 900)).isEmpty());

        state.hasCompleted = true;
        state.results = {result(batch[0], true), result(batch[1], false)};
        state.failedProgressMap = {{batch[1]->id(), report(batch[1], Status::failed, "Checksum mismatch")}};
        const ApplicationList failing = apps({"Delta*+"}); // with a cask: the command box shows
        state.results.append(result(failing[0], false));
        state.failedProgressMap.insert(failing[0]->id(), report(failing[0], Status::failed, "Download failed"));
        state.results.append(result(apps({"Echo*"})[0], false)); // no record: its error text
        ProcessingView results(state, world.detail, world.store);
        QVERIFY(!test::renderToPng(&results, "updatesheet-results-view", QSize(700, 900)).isEmpty());

        const QPalette light = QApplication::palette();
        QApplication::setPalette(darkPalette());
        QCoreApplication::processEvents();
        test::renderToPng(&processing, "updatesheet-processing-view-dark", QSize(700, 900));
        test::renderToPng(&results, "updatesheet-results-view-dark", QSize(700, 900));
        QApplication::setPalette(light);
        QCoreApplication::processEvents();
    }

    void outcomeWrittenBackCountsBeforeTheBatchReturns()
    {
        MainWindowTestWorld world;
        const ApplicationList batch = apps({"Alpha*", "Beta*"});
        world.store.setApplications(batch);
        world.keepOnDisk(batch.at(0));
        auto gate = world.gate();
        world.coordinator.setGate(Op::refreshApplication, gate); // the rediscovery after Alpha
        UpdateSheetView sheet(batch, {}, world.sidebar, world.detail, world.store);
        button(&sheet, "updateButton")->click();
        QTRY_COMPARE(gate->arrivals(), 1);
        QTRY_COMPARE(sheet.completedAppsCount(), 1);
        QTRY_COMPARE(labelText(&sheet, "percentText"), QStringLiteral("50%"));
        QCOMPARE(sheet.phase(), Phase::processing);
        gate->open();
        QTRY_COMPARE(sheet.phase(), Phase::complete);
        QCOMPARE(sheet.completedAppsCount(), 2);
    }
};

QTEST_MAIN(TestUpdateSheet)
#include "tst_updatesheet.moc"
