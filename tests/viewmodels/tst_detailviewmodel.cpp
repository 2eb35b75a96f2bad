#include "ViewModelTestWorld.h"
#include "sources/brew/CatalogueError.h"

#include <QMetaProperty>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace norvelle;
using namespace norvelle::test;

namespace {

const QString kNotFound = QStringLiteral("Application not found");
const QString kUpdating = QStringLiteral("An update operation is already in progress");

QFuture<void> start(DetailViewModel& model, const QString& action)
{
    if (action == QLatin1String("update"))
        return model.updateApplication();
    if (action == QLatin1String("ignore"))
        return model.ignoreApplication();
    if (action == QLatin1String("unignore"))
        return model.unignoreApplication();
    if (action == QLatin1String("refresh"))
        return model.refreshApplication();
    if (action == QLatin1String("skip"))
        return model.skipVersion();
    if (action == QLatin1String("unskip"))
        return model.unskipVersion();
    if (action == QLatin1String("adopt"))
        return model.adoptCask();
    return QFuture<void>(model.verifyCustomCask(QStringLiteral("my-cask"), QStringLiteral("user/tap")));
}

UpdateProgress report(const ApplicationPtr& application, UpdateProgress::Status status,
                      QStringList output = {})
{
    UpdateProgress value;
    value.id = QUuid::createUuid();
    value.application = application;
    value.status = status;
    value.currentStep = toRawValue(status);
    value.brewOutput = std::move(output);
    return value;
}

// Records every stored value of one progress field with the thread it was stored on.
template <typename T> struct ProgressLog {
    QList<std::optional<T>> values;
    bool offMain = false;

    template <typename Signal> ProgressLog(DetailViewModel& model, Signal signal)
    {
        QObject::connect(&model, signal, &model, [this](const std::optional<T>& value) {
            offMain |= QThread::currentThread() != qApp->thread();
            values.append(value);
        });
    }

    QStringList statuses() const
    {
        QStringList out;
        for (const auto& value : values)
            out.append(value ? toRawValue(value->status) : QStringLiteral("none"));
        return out;
    }
};

} // namespace

class TestDetailViewModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void withoutSelectionNothingHappens_data()
    {
        QTest::addColumn<QString>("action");
        for (const char* action :
             {"update", "ignore", "unignore", "refresh", "skip", "unskip", "adopt", "verify"})
            QTest::newRow(action) << QString::fromLatin1(action);
    }

    void withoutSelectionNothingHappens()
    {
        QFETCH(QString, action);
        ViewModelTestWorld world;
        world.store.setApplications(
            {makeApp(QStringLiteral("Unselected"), makeUpdate(QStringLiteral("2.0")))});
        QList<std::shared_ptr<QSignalSpy>> spies;
        const QMetaObject* meta = world.detail.metaObject();
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
            spies.append(std::make_shared<QSignalSpy>(&world.detail, meta->property(i).notifySignal()));
        QSignalSpy updateProgress(&world.detail, &DetailViewModel::updateProgressChanged);
        QSignalSpy adoptionProgress(&world.detail, &DetailViewModel::adoptionProgressChanged);

        QVERIFY(start(world.detail, action).isFinished());
        QCoreApplication::processEvents();
        QCOMPARE(world.coordinator.calls(), QStringList());
        QCOMPARE(world.log.lines().size(), 0);
        for (const auto& spy : spies)
            QCOMPARE(spy->count(), 0);
        QCOMPARE(updateProgress.count() + adoptionProgress.count(), 0);
    }

    // Every action raises its flag while the coordinator works, logs a failure as
    // "Failed to …: <description>" and lowers the flag; none passes the error on.
    void failureIsLoggedAndLowersTheFlag_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("operation");
        QTest::addColumn<QString>("flag"); // empty: the action raises none
        QTest::addColumn<QString>("logged");
        QTest::addColumn<int>("pause"); // ms the flag stays up after the failure; 0 none

        QTest::newRow("update") << "update" << int(Op::updateApplication) << "isUpdating"
                                << "Failed to update application: " << 0;
        QTest::newRow("ignore") << "ignore" << int(Op::ignoreApplication) << "isIgnoring"
                                << "Failed to ignore application: " << 0;
        QTest::newRow("unignore") << "unignore" << int(Op::unignoreApplication) << "isIgnoring"
                                  << "Failed to unignore application: " << 0;
        QTest::newRow("refresh") << "refresh" << int(Op::refreshApplication) << "isRefreshing"
                                 << "Failed to refresh application: " << 3000;
        QTest::newRow("skip") << "skip" << int(Op::skipVersion) << "isSkippingVersion"
                              << "Failed to skip version: " << 0;
        QTest::newRow("unskip") << "unskip" << int(Op::unskipVersion) << ""
                                << "Failed to unskip version: " << 0;
        QTest::newRow("adopt") << "adopt" << int(Op::adoptApplication) << "isAdopting"
                               << "Failed to adopt cask: " << 2000;
        QTest::newRow("verify") << "verify" << int(Op::verifyCustomCask) << "isVerifyingCustomCask"
                                << "Failed to verify custom cask: " << 0;
    }

    void failureIsLoggedAndLowersTheFlag()
    {
        QFETCH(QString, action);
        QFETCH(int, operation);
        QFETCH(QString, flag);
        QFETCH(QString, logged);
        QFETCH(int, pause);
        ViewModelTestWorld world;
        world.select(makeApp(QStringLiteral("Target"), makeUpdate(QStringLiteral("2.0"))));
        auto gate = world.gate();
        world.coordinator.setGate(Op(operation), gate);
        world.coordinator.failWith(Op(operation), CoordinatorError::applicationNotFound());
        QSignalSpy refreshing(&world.detail, &DetailViewModel::isRefreshingChanged);
        QSignalSpy success(&world.detail, &DetailViewModel::showRefreshSuccessChanged);

        QFuture<void> done = start(world.detail, action);
        QTRY_COMPARE(gate->arrivals(), 1);
        if (!flag.isEmpty())
            QCOMPARE(world.detail.property(qPrintable(flag)).toBool(), true);
        gate->open();
        QTRY_COMPARE(world.log.count(Logger::Level::error, logged + kNotFound), 1);
        // A failed refresh says why in place of its success, as long as a success would show.
        const bool refresh = action == QLatin1String("refresh");
        if (pause > 0) {
            QTRY_COMPARE(world.pauses.requested(), QList<int>{pause});
            QCOMPARE(world.detail.property(qPrintable(flag)).toBool(), !refresh);
            QCOMPARE(world.detail.refreshFailure(), refresh ? kNotFound : QString());
            world.pauses.endOldest();
        }
        AWAIT(done);
        if (!flag.isEmpty())
            QCOMPARE(world.detail.property(qPrintable(flag)).toBool(), false);
        QCOMPARE(world.log.lines().size(), 1);
        // A failed unignore or unskip is not followed by a refresh, and no failure shows the
        // refresh notice.
        QCOMPARE(world.coordinator.callCount(Op::refreshApplication), refresh ? 1 : 0);
        QVERIFY(!success.contains(QVariantList{true}));
        if (!refresh)
            QCOMPARE(refreshing.count(), 0);
        QVERIFY(!world.detail.showsRefresh());
        // A verification also ends with its failure's reason, for the panel to show.
        if (action == QLatin1String("verify")) {
            QFuture<QString> reason = world.detail.verifyCustomCask(QStringLiteral("my-cask"), std::nullopt);
            AWAIT(reason);
            QCOMPARE(reason.result(), kNotFound);
        }
    }

    void successfulUpdateShowsCompletionForOneSecond_data()
    {
        QTest::addColumn<bool>("alreadyInstalled");
        QTest::addColumn<QString>("step");
        QTest::newRow("installed") << false << "Update completed successfully";
        // The application had updated itself: nothing failed, and the pane says what it holds.
        QTest::newRow("already installed") << true << "Nothing to install: version 1.0 is already installed";
    }
    void successfulUpdateShowsCompletionForOneSecond()
    {
        QFETCH(bool, alreadyInstalled);
        QFETCH(QString, step);
        ViewModelTestWorld world;
        auto app = world.select(makeApp(QStringLiteral("Target"), makeUpdate(QStringLiteral("2.0"))));
        world.coordinator.setUpdateScript(
            [alreadyInstalled](const ApplicationPtr& application,
                               const AppCoordinator::UpdateProgressHandler& progress) {
                progress(report(application, UpdateProgress::Status::queued));
                progress(report(application, UpdateProgress::Status::downloading, {"==> Downloading"}));
                progress(report(application, UpdateProgress::Status::installing,
                                {"==> Downloading", "==> Moving"}));
                Update::Result result;
                result.application = application;
                result.success = !alreadyInstalled;
                result.alreadyInstalled = alreadyInstalled;
                return result;
            });
        ProgressLog<UpdateProgress> stored(world.detail, &DetailViewModel::updateProgressChanged);

        QFuture<void> done = world.detail.updateApplication();
        QVERIFY(world.detail.isUpdating());
        QTRY_COMPARE(world.pauses.requested(), QList<int>{1000});
        QCOMPARE(stored.statuses(), (QStringList{"queued", "downloading", "installing", "completed"}));
        QVERIFY(!stored.offMain);
        const UpdateProgress completed = *world.detail.updateProgress();
        QVERIFY(sameApplication(completed.application, app));
        QCOMPARE(completed.progress, 1.0);
        QCOMPARE(completed.currentStep, step);
        QCOMPARE(completed.brewOutput, QStringList());
        QCOMPARE(completed.startTime, world.clock->now());
        QCOMPARE(completed.estimatedCompletion, std::nullopt);
        QVERIFY(world.detail.isUpdating());

        world.pauses.endOldest();
        AWAIT(done);
        QCOMPARE(world.detail.updateProgress(), std::nullopt);
        QCOMPARE(world.detail.isUpdating(), false);
    }

    // A cancelled pause ends at once; what follows it still runs.
    void cancelledPauseStillFinishesTheAction()
    {
        ViewModelTestWorld world;
        world.select(makeApp(QStringLiteral("Target"), makeUpdate(QStringLiteral("2.0"))));
        QFuture<void> done = world.detail.updateApplication();
        QTRY_COMPARE(world.pauses.pending(), 1);
        world.pauses.cancelOldest();
        QTRY_COMPARE(world.detail.isUpdating(), false);
        QCOMPARE(world.detail.updateProgress(), std::nullopt);
        AWAIT(done);
    }

    void failedUpdateResultKeepsTheCapturedOutput_data()
    {
        QTest::addColumn<std::optional<QString>>("error");
        QTest::addColumn<QString>("step");
        QTest::newRow("with error text")
            << std::optional<QString>(QStringLiteral("brew exited with 1")) << "brew exited with 1";
        QTest::newRow("without error text") << std::optional<QString>() << "Update failed";
    }

    void failedUpdateResultKeepsTheCapturedOutput()
    {
        QFETCH(std::optional<QString>, error);
        QFETCH(QString, step);
        ViewModelTestWorld world;
        auto app = world.select(makeApp(QStringLiteral("Target"), makeUpdate(QStringLiteral("2.0"))));
        world.coordinator.setUpdateScript([error](const ApplicationPtr& application,
                                                  const AppCoordinator::UpdateProgressHandler& progress) {
            progress(report(application, UpdateProgress::Status::downloading, {"first"}));
            progress(report(application, UpdateProgress::Status::installing, {"first", "last"}));
            Update::Result result;
            result.application = application;
            result.success = false;
            result.error = error;
            return result;
        });

        QFuture<void> done = world.detail.updateApplication();
        AWAIT(done);
        QCOMPARE(world.detail.isUpdating(), false);
        QCOMPARE(world.pauses.requested(), QList<int>());
        const UpdateProgress failed = *world.detail.updateProgress();
        QCOMPARE(failed.status, UpdateProgress::Status::failed);
        QCOMPARE(failed.progress, 0.0);
        QCOMPARE(failed.currentStep, step);
        QCOMPARE(failed.brewOutput, (QStringList{"first", "last"}));
        QVERIFY(sameApplication(failed.application, app));
        // A failed result is not an error: nothing is logged.
        QVERIFY(!world.log.containsPrefix(Logger::Level::error, QStringLiteral("Failed to")));
    }

    // The coordinator refuses a second update; this view model does not.
    void updateRefusedWhileAnotherRuns()
    {
        ViewModelTestWorld world;
        auto app = world.select(makeApp(QStringLiteral("Target"), makeUpdate(QStringLiteral("2.0"))));
        auto gate = world.gate();
        world.updates->setUpdateGate(app->bundleIdentifier(), gate);

        QFuture<void> first = world.detail.updateApplication();
        QTRY_COMPARE(gate->arrivals(), 1);
        QFuture<void> second = world.detail.updateApplication();
        AWAIT(second);
        QCOMPARE(world.log.count(Logger::Level::error,
                                 QStringLiteral("Failed to update application: ") + kUpdating),
                 1);
        QCOMPARE(world.detail.updateProgress()->status, UpdateProgress::Status::failed);
        QCOMPARE(world.detail.updateProgress()->currentStep, kUpdating);
        QCOMPARE(world.detail.isUpdating(), false);

        gate->open();
        QTRY_COMPARE(world.pauses.pending(), 1);
        QCOMPARE(world.detail.updateProgress()->status, UpdateProgress::Status::completed);
        world.pauses.endOldest();
        AWAIT(first);
    }

    void skipClearsOnlyItsOwnProgress_data()
    {
        QTest::addColumn<bool>("progressOfTarget");
        QTest::newRow("progress of the skipped application") << true;
        QTest::newRow("progress of another application") << false;
    }

    void skipClearsOnlyItsOwnProgress()
    {
        QFETCH(bool, progressOfTarget);
        ViewModelTestWorld world;
        auto other = makeApp(QStringLiteral("Other"));
        auto target =
            world.select(makeApp(QStringLiteral("Target"), makeUpdate(QStringLiteral("2.1"))), {other});
        const UpdateProgress shown =
            report(progressOfTarget ? target : other, UpdateProgress::Status::failed);
        world.detail.setUpdateProgress(shown);

        QFuture<void> done = world.detail.skipVersion();
        QVERIFY(world.detail.isSkippingVersion());
        AWAIT(done);
        QCOMPARE(world.detail.isSkippingVersion(), false);
        QCOMPARE(target->skippedVersion(), std::optional<QString>(QStringLiteral("2.1")));
        QCOMPARE(world.detail.updateProgress(), progressOfTarget ? std::nullopt : std::optional(shown));
    }

    void unignoreRefreshesWhatIsSelectedThen()
    {
        ViewModelTestWorld world;
        auto second = makeApp(QStringLiteral("Second"));
        auto first = world.select(makeApp(QStringLiteral("First")), {second});
        first->setIgnored(true);
        world.keepOnDisk(second);
        auto gate = world.gate();
        world.coordinator.setGate(Op::unignoreApplication, gate);
        auto refreshGate = world.gate();
        world.coordinator.setGate(Op::refreshApplication, refreshGate);

        QFuture<void> done = world.detail.unignoreApplication();
        QTRY_COMPARE(gate->arrivals(), 1);
        world.store.setSelectedApplicationId(second->id());
        gate->open();
        // The flag stays up until the refresh it started has ended, and no longer: not through
        // the notice that tells its end.
        QTRY_COMPARE(refreshGate->arrivals(), 1);
        QVERIFY(world.detail.isIgnoring());
        refreshGate->open();
        QTRY_COMPARE(world.pauses.requested(), QList<int>{3000});
        QCOMPARE(world.coordinator.calls(),
                 (QStringList{"unignoreApplication First", "refreshApplication Second"}));
        QCOMPARE(first->ignored(), false);
        QVERIFY(!world.detail.isIgnoring());
        QVERIFY(world.detail.showRefreshSuccess());
        world.pauses.endOldest();
        AWAIT(done);
        QCOMPARE(world.detail.isIgnoring(), false);
        QCOMPARE(world.detail.showRefreshSuccess(), false);
    }

    // The refresh shows success only where its check read every source; otherwise it says why the
    // check failed, for as long, and the version skipped is offered again.
    void unskipRaisesNoFlagAndRefreshes_data()
    {
        QTest::addColumn<QString>("unread"); // the source the refresh could not read
        QTest::addColumn<QString>("failure");
        QTest::newRow("every source read") << "" << "";
        QTest::newRow("the feed unread") << "feed" << "404";
        QTest::newRow("the catalogue unread")
            << "catalogue" << "The Homebrew catalogue could not be read: timed out";
    }
    void unskipRaisesNoFlagAndRefreshes()
    {
        QFETCH(QString, unread);
        QFETCH(QString, failure);
        ViewModelTestWorld world;
        auto app = world.select(makeApp(QStringLiteral("Target"), makeUpdate(QStringLiteral("2.0"))));
        world.keepOnDisk(app);
        if (unread == "feed")
            world.updates->setUnreadSources(
                {{app->bundleIdentifier(), {SourceFailure::updateFeed(), "404"}}});
        if (unread == "catalogue")
            world.brew->onLoadInstalledCasks = [] { throw CatalogueError(QStringLiteral("timed out")); };
        QFuture<void> skipped = world.detail.skipVersion();
        AWAIT(skipped);
        QSignalSpy skipping(&world.detail, &DetailViewModel::isSkippingVersionChanged);
        QSignalSpy refreshing(&world.detail, &DetailViewModel::isRefreshingChanged);

        QFuture<void> done = world.detail.unskipVersion();
        QTRY_COMPARE(world.pauses.requested(), QList<int>{3000});
        QCOMPARE(skipping.count(), 0);
        QCOMPARE(refreshing.count(), 2);
        QCOMPARE(app->skippedVersion(), std::nullopt);
        QCOMPARE(world.detail.showRefreshSuccess(), unread.isEmpty());
        QCOMPARE(world.detail.refreshFailure(), failure);
        QCOMPARE(app->update() ? app->update()->latestVersion : QString(), unread == "feed" ? "2.0" : "");
        world.pauses.endOldest();
        AWAIT(done);
        QVERIFY(!world.detail.showsRefresh());
    }

    // The first refresh's pause ends first and lowers the notice of the second.
    void overlappingRefreshesShareTheNotice()
    {
        ViewModelTestWorld world;
        world.keepOnDisk(world.select(makeApp(QStringLiteral("Target"))));
        QFuture<void> first = world.detail.refreshApplication();
        QTRY_COMPARE(world.pauses.pending(), 1);
        QFuture<void> second = world.detail.refreshApplication();
        QCOMPARE(world.detail.showRefreshSuccess(), false);
        QVERIFY(world.detail.isRefreshing());
        QTRY_COMPARE(world.pauses.pending(), 2);
        QVERIFY(world.detail.showRefreshSuccess());
        world.pauses.endOldest();
        AWAIT(first);
        QCOMPARE(world.detail.showRefreshSuccess(), false);
        world.pauses.endOldest();
        AWAIT(second);
    }

    void refreshOfADeletedBundleFails()
    {
        ViewModelTestWorld world;
        world.select(makeApp(QStringLiteral("Gone")));
        QSignalSpy success(&world.detail, &DetailViewModel::showRefreshSuccessChanged);
        QFuture<void> done = world.detail.refreshApplication();
        QTRY_COMPARE(world.pauses.pending(), 1);
        QCOMPARE(world.detail.refreshFailure(), kNotFound);
        world.pauses.endOldest();
        AWAIT(done);
        QCOMPARE(world.log.count(Logger::Level::error,
                                 QStringLiteral("Failed to refresh application: ") + kNotFound),
                 1);
        QCOMPARE(world.detail.isRefreshing(), false);
        QCOMPARE(success.count(), 0);
    }

    void adoptionProgressIsStoredInOrder()
    {
        ViewModelTestWorld world;
        auto app = world.select(makeApp(QStringLiteral("Target")));
        app->setCask(makeCask(QStringLiteral("target"), true));
        world.brew->onAdoptCask = [](const QString&, const LineHandler& handler) {
            handler(QStringLiteral("==> Downloading target.dmg"), 0.3);
            handler(QStringLiteral("==> Linking Binary"), 0.9);
        };
        ProgressLog<AdoptionProgress> stored(world.detail, &DetailViewModel::adoptionProgressChanged);

        QFuture<void> done = world.detail.adoptCask();
        QVERIFY(world.detail.isAdopting());
        QTRY_COMPARE(world.pauses.requested(), QList<int>{1000});
        QCOMPARE(stored.statuses(), (QStringList{"queued", "downloading", "verifying", "completed"}));
        QVERIFY(!stored.offMain);
        QVERIFY(world.detail.isAdopting());
        world.pauses.endOldest();
        AWAIT(done);
        QCOMPARE(world.detail.adoptionProgress(), std::nullopt);
        QCOMPARE(world.detail.isAdopting(), false);
    }

    void failedAdoptionStaysVisibleUntilTheNext()
    {
        ViewModelTestWorld world;
        auto app = world.select(makeApp(QStringLiteral("Target")));
        app->setCask(makeCask(QStringLiteral("target"), true));
        world.brew->onAdoptCask = [](const QString&, const LineHandler&) {
            throw Error(QStringLiteral("brew broke"));
        };

        QFuture<void> done = world.detail.adoptCask();
        QTRY_COMPARE(world.pauses.requested(), QList<int>{2000});
        QCOMPARE(world.log.count(Logger::Level::error, QStringLiteral("Failed to adopt cask: brew broke")),
                 1);
        const AdoptionProgress failed = *world.detail.adoptionProgress();
        QCOMPARE(failed.status, AdoptionProgress::Status::failed);
        QCOMPARE(failed.currentStep, QStringLiteral("brew broke"));
        QCOMPARE(failed.progress, 0.0);
        QCOMPARE(failed.startTime, world.clock->now());
        QVERIFY(world.detail.isAdopting());
        world.pauses.endOldest();
        AWAIT(done);
        QCOMPARE(world.detail.isAdopting(), false);
        QCOMPARE(world.detail.adoptionProgress()->status, AdoptionProgress::Status::failed);

        auto gate = world.gate();
        world.coordinator.setGate(Op::adoptApplication, gate);
        QFuture<void> again = world.detail.adoptCask();
        QCOMPARE(world.detail.adoptionProgress(), std::nullopt);
        gate->open();
        QTRY_COMPARE(world.pauses.pending(), 1);
        world.pauses.endOldest();
        AWAIT(again);
    }

    void customCaskIsPassedOnUnchanged_data()
    {
        QTest::addColumn<std::optional<QString>>("tap");
        QTest::addColumn<QString>("call");
        QTest::newRow("with tap") << std::optional<QString>(QStringLiteral("user/tap"))
                                  << "verifyCustomCask Target My-Cask user/tap";
        QTest::newRow("without tap") << std::optional<QString>() << "verifyCustomCask Target My-Cask -";
    }

    void customCaskIsPassedOnUnchanged()
    {
        QFETCH(std::optional<QString>, tap);
        QFETCH(QString, call);
        ViewModelTestWorld world;
        auto app = world.select(makeApp(QStringLiteral("Target")));
        QFuture<QString> done = world.detail.verifyCustomCask(QStringLiteral("My-Cask"), tap);
        QVERIFY(world.detail.isVerifyingCustomCask());
        AWAIT(done);
        QCOMPARE(world.detail.isVerifyingCustomCask(), false);
        QCOMPARE(world.coordinator.calls(), QStringList{call});
        QCOMPARE(app->cask()->caskName, QStringLiteral("My-Cask"));
    }

    void settersSignalOnlyRealChanges()
    {
        ViewModelTestWorld world;
        auto app = makeApp(QStringLiteral("Target"));
        QSignalSpy progress(&world.detail, &DetailViewModel::updateProgressChanged);
        QSignalSpy suppress(&world.detail, &DetailViewModel::suppressTerminalAlertChanged);
        const UpdateProgress value = report(app, UpdateProgress::Status::queued);
        world.detail.setUpdateProgress(value);
        world.detail.setUpdateProgress(value);
        world.detail.setUpdateProgress(std::nullopt);
        world.detail.setUpdateProgress(std::nullopt);
        world.detail.setSuppressTerminalAlert(true);
        world.detail.setSuppressTerminalAlert(true);
        QCOMPARE(progress.count(), 2);
        QCOMPARE(suppress.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestDetailViewModel)
#include "tst_detailviewmodel.moc"
