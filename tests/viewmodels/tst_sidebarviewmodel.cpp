#include "ViewModelTestWorld.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <stdexcept>

using namespace norvelle;
using namespace norvelle::test;

namespace {

const QString kNotReady = QStringLiteral("System environment is not ready. Network connection required.");

// "Name" plain; a trailing "*" gives it an update, a trailing "!" ignores it.
ApplicationList appsFrom(const QStringList& specs)
{
    ApplicationList list;
    for (QString spec : specs) {
        const bool ignored = spec.endsWith(QLatin1Char('!'));
        if (ignored)
            spec.chop(1);
        const bool hasUpdate = spec.endsWith(QLatin1Char('*'));
        if (hasUpdate)
            spec.chop(1);
        auto app = makeApp(spec, hasUpdate ? std::optional(makeUpdate(QStringLiteral("2.0"))) : std::nullopt);
        app->setIgnored(ignored);
        list.append(app);
    }
    return list;
}

QStringList namesOf(const ApplicationList& applications)
{
    QStringList names;
    for (const auto& app : applications)
        names.append(app->name());
    return names;
}

} // namespace

class TestSidebarViewModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void filtersInDeclarationOrder()
    {
        using F = ApplicationFilter;
        QCOMPARE(allApplicationFilters(),
                 (QList<F>{F::all, F::adoptable, F::appStore, F::brew, F::ignored, F::sparkle, F::updates}));
        ViewModelTestWorld world;
        QCOMPARE(world.sidebar.currentFilter(), F::all);
    }

    // Which filters show an application of each kind.
    void filterRules_data()
    {
        using F = ApplicationFilter;
        using S = Application::Source;
        QTest::addColumn<QList<S>>("source");
        QTest::addColumn<bool>("hasUpdate");
        QTest::addColumn<int>("cask"); // 0 none, 1 not adoptable, 2 adoptable
        QTest::addColumn<bool>("ignored");
        QTest::addColumn<QList<F>>("shownUnder");

        QTest::newRow("plain Homebrew")
            << QList<S>{S::homebrew} << false << 1 << false << QList<F>{F::all, F::brew};
        QTest::newRow("App Store with update")
            << QList<S>{S::appStore} << true << 0 << false << QList<F>{F::all, F::appStore, F::updates};
        QTest::newRow("Homebrew and Sparkle") << QList<S>{S::homebrew, S::sparkle} << false << 0 << false
                                              << QList<F>{F::all, F::brew, F::sparkle};
        QTest::newRow("adoptable cask")
            << QList<S>{S::other} << false << 2 << false << QList<F>{F::all, F::adoptable};
        QTest::newRow("cask not adoptable") << QList<S>{S::other} << false << 1 << false << QList<F>{F::all};
        QTest::newRow("no cask") << QList<S>{S::other} << false << 0 << false << QList<F>{F::all};
        QTest::newRow("ignored with everything")
            << QList<S>{S::homebrew, S::sparkle, S::appStore} << true << 2 << true << QList<F>{F::ignored};
    }

    void filterRules()
    {
        QFETCH(QList<Application::Source>, source);
        QFETCH(bool, hasUpdate);
        QFETCH(int, cask);
        QFETCH(bool, ignored);
        QFETCH(QList<ApplicationFilter>, shownUnder);

        auto app =
            makeApp(QStringLiteral("Subject"),
                    hasUpdate ? std::optional(makeUpdate(QStringLiteral("2.0"))) : std::nullopt, source);
        if (cask > 0)
            app->setCask(makeCask(QStringLiteral("subject"), cask == 2));
        app->setIgnored(ignored);
        for (ApplicationFilter filter : allApplicationFilters()) {
            const bool expected = shownUnder.contains(filter);
            QVERIFY2(isVisibleUnder(filter, app->snapshot()) == expected,
                     qPrintable(QStringLiteral("filter %1").arg(static_cast<int>(filter))));
            QCOMPARE(visibleApplications({app}, filter, {}).size(), expected ? 1 : 0);
        }
    }

    // Sorting (updates first, then by name), filtering and searching of the sidebar's list.
    void visibleList_data()
    {
        QTest::addColumn<QStringList>("applications");
        QTest::addColumn<ApplicationFilter>("filter");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("update first, then by name ignoring case")
            << QStringList{"beta", "Alpha", "zeta*"} << ApplicationFilter::all << QString()
            << QStringList{"zeta", "Alpha", "beta"};
        QTest::newRow("names equal but for case keep the store's order")
            << QStringList{"Mail", "mail"} << ApplicationFilter::all << QString()
            << QStringList{"Mail", "mail"};
        QTest::newRow("same, other order") << QStringList{"mail", "Mail"} << ApplicationFilter::all
                                           << QString() << QStringList{"mail", "Mail"};
        QTest::newRow("updates sorted among themselves")
            << QStringList{"Notes*", "calendar", "Books*"} << ApplicationFilter::updates << QString()
            << QStringList{"Books", "Notes"};
        QTest::newRow("search ignores case")
            << QStringList{"Safari", "Mail"} << ApplicationFilter::all << "SAF" << QStringList{"Safari"};
        QTest::newRow("search is not trimmed")
            << QStringList{"Visual Studio", "Xcode"} << ApplicationFilter::all << " "
            << QStringList{"Visual Studio"};
        QTest::newRow("search without match")
            << QStringList{"Safari"} << ApplicationFilter::all << "zz" << QStringList{};
        QTest::newRow("ignored update counts nowhere but under ignored")
            << QStringList{"Slack*!", "Zoom*"} << ApplicationFilter::updates << QString()
            << QStringList{"Zoom"};
        QTest::newRow("ignored filter") << QStringList{"Slack*!", "Zoom*"} << ApplicationFilter::ignored
                                        << QString() << QStringList{"Slack"};
    }

    void visibleList()
    {
        QFETCH(QStringList, applications);
        QFETCH(ApplicationFilter, filter);
        QFETCH(QString, search);
        QFETCH(QStringList, expected);

        const ApplicationList list = appsFrom(applications);
        const ApplicationList before = list;
        QCOMPARE(namesOf(visibleApplications(list, filter, search, QLocale::c())), expected);
        QCOMPARE(namesOf(visibleApplications(list, filter, search, QLocale(QLocale::German))), expected);
        QVERIFY(sameApplications(list, before));
    }

    // The names' sort keys are kept between computations; a list sorted in another locale in
    // between must not reuse the first locale's keys.
    void sortFollowsTheLocale()
    {
        const ApplicationList list = appsFrom({"Zebra", "\u00c4pfel", "Apfel"});
        const QStringList german{"Apfel", "\u00c4pfel", "Zebra"};
        const QStringList swedish{"Apfel", "Zebra", "\u00c4pfel"};
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(namesOf(visibleApplications(list, ApplicationFilter::all, {}, QLocale(QLocale::German))),
                     german);
            QCOMPARE(
                namesOf(visibleApplications(list, ApplicationFilter::all, {}, QLocale(QLocale::Swedish))),
                swedish);
        }
    }

    void settersSignalOnlyRealChanges()
    {
        ViewModelTestWorld world;
        QSignalSpy filterSpy(&world.sidebar, &SidebarViewModel::currentFilterChanged);
        QSignalSpy sheetSpy(&world.sidebar, &SidebarViewModel::showUpdateSheetChanged);
        world.sidebar.setCurrentFilter(ApplicationFilter::updates);
        world.sidebar.setCurrentFilter(ApplicationFilter::updates);
        world.sidebar.setShowUpdateSheet(true);
        world.sidebar.setShowUpdateSheet(true);
        QCOMPARE(filterSpy.count(), 1);
        QCOMPARE(sheetSpy.count(), 1);
    }

    void discoveryChecksTheEnvironmentFirst()
    {
        ViewModelTestWorld world;
        world.store.setEnvironmentStatus(std::nullopt);
        const EnvironmentStatus fresh{true, false, true, QStringLiteral("/opt/homebrew/bin/brew")};
        world.environment->setStatus(fresh);
        world.discovery->setApplications({makeApp(QStringLiteral("Safari"))});
        auto gate = world.gate();
        world.coordinator.setGate(Op::discoverApplications, gate);
        world.sidebar.setErrorMessage(QStringLiteral("old"));
        QSignalSpy busy(&world.sidebar, &SidebarViewModel::isDiscoveringChanged);

        QFuture<void> done = world.sidebar.discoverApplications();
        QVERIFY(world.sidebar.isDiscovering());
        QCOMPARE(world.sidebar.errorMessage(), std::nullopt);
        QTRY_COMPARE(gate->arrivals(), 1);
        QCOMPARE(world.store.environmentStatus(), std::optional(fresh));

        // A second request while this one runs does nothing, not even an environment check.
        QVERIFY(world.sidebar.discoverApplications().isFinished());
        QCOMPARE(world.environment->checkCount(), 1);

        gate->open();
        AWAIT(done);
        QCOMPARE(world.sidebar.isDiscovering(), false);
        QCOMPARE(busy.count(), 2);
        QCOMPARE(world.store.applications().size(), 1);
        QCOMPARE(world.coordinator.callCount(Op::discoverApplications), 1);
        QCOMPARE(world.sidebar.errorMessage(), std::nullopt);
        QVERIFY(!world.log.containsPrefix(Logger::Level::error, QStringLiteral("Failed to")));
    }

    void discoveryFailureBecomesState_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("description");
        QTest::newRow("discovery already running") << "busy"
                                                   << "Discovery is already in progress";
        QTest::newRow("scan fails") << "scan"
                                    << "The folder cannot be read";
        // No failure of the discovery: the list stands, and only the problem is told.
        QTest::newRow("a source cannot be read") << "source"
                                                 << "The request timed out.";
    }

    void discoveryFailureBecomesState()
    {
        QFETCH(QString, cause);
        QFETCH(QString, description);
        ViewModelTestWorld world;
        if (cause == QLatin1String("busy"))
            world.coordinator.failWith(Op::discoverApplications, CoordinatorError::discovering());
        if (cause == QLatin1String("scan"))
            world.discovery->setDiscoveryFailure(description);
        if (cause == QLatin1String("source"))
            world.discovery->setSourceFailures({{QStringLiteral("Homebrew"), description}});

        QFuture<void> done = world.sidebar.discoverApplications();
        AWAIT(done);
        const bool failed = cause != QLatin1String("source");
        QCOMPARE(world.sidebar.errorMessage(), failed ? std::optional(description) : std::nullopt);
        QCOMPARE(world.sidebar.discoveryProblems(),
                 QStringList{(failed ? QStringLiteral("Failed to discover applications: ")
                                     : QStringLiteral("Homebrew could not be read: ")) +
                             description});
        QCOMPARE(world.sidebar.isDiscovering(), false);
        // The detail pane reads them from the store: a cask without facts may owe that to them.
        QCOMPARE(world.store.sourceFailures().size(), failed ? 0 : 1);
        QCOMPARE(world.log.count(Logger::Level::error,
                                 QStringLiteral("Failed to discover applications: ") + description),
                 failed ? 1 : 0);
        // A failed discovery raises no update-check alert.
        QCOMPARE(world.appState.showUpdateCheckError(), false);
    }

    void updateCheckWithNoApplicationsDoesNothing()
    {
        ViewModelTestWorld world;
        QSignalSpy busy(&world.sidebar, &SidebarViewModel::isCheckingUpdatesChanged);
        QVERIFY(world.sidebar.checkForUpdates().isFinished());
        QCoreApplication::processEvents();
        QCOMPARE(busy.count(), 0);
        QCOMPARE(world.coordinator.callCount(Op::checkForUpdates), 0);
        QCOMPARE(world.appState.showUpdateCheckError(), false);
    }

    void updateCheckSucceeds()
    {
        ViewModelTestWorld world;
        auto safari = makeApp(QStringLiteral("Safari"));
        world.store.setApplications({safari});
        world.updates->setCheckResult({{safari->bundleIdentifier(), makeUpdate(QStringLiteral("18.0"))}});
        world.updates->setUnreadSources(
            {{safari->bundleIdentifier(), SourceFailure{SourceFailure::updateFeed(), QStringLiteral("offline")}}});
        auto gate = world.gate();
        world.coordinator.setGate(Op::checkForUpdates, gate);
        world.sidebar.setErrorMessage(QStringLiteral("old"));

        QFuture<void> done = world.sidebar.checkForUpdates();
        QVERIFY(world.sidebar.isCheckingUpdates());
        QCOMPARE(world.sidebar.errorMessage(), std::nullopt);
        QVERIFY(world.sidebar.checkForUpdates().isFinished()); // refused while one runs
        gate->open();
        AWAIT(done);
        QCOMPARE(world.sidebar.isCheckingUpdates(), false);
        QCOMPARE(world.coordinator.callCount(Op::checkForUpdates), 1);
        QVERIFY(safari->update().has_value());
        QCOMPARE(world.appState.showUpdateCheckError(), false);
        // The banner follows what the check wrote back.
        QTRY_COMPARE(world.sidebar.checkProblems(),
                     QStringList{QStringLiteral("The update feed of Safari could not be read: offline")});
        safari->setCheckFailure(std::nullopt);
        QTRY_COMPARE(world.sidebar.checkProblems(), QStringList());
    }

    // "Name:reason" per application whose feed could not be read ("Name:reason:source" for
    // another source); a trailing "!" ignores it.
    void unreadSourceLines_data()
    {
        QTest::addColumn<QStringList>("failures");
        QTest::addColumn<QStringList>("lines");
        const QString feeds = QStringLiteral("Update feeds of %1 applications could not be read");
        QTest::newRow("one reason, ignored ones aside")
            << QStringList{"Alpha:offline", "Beta:offline!", "Gamma:offline"}
            << QStringList{feeds.arg(2) + ": offline"};
        QTest::newRow("reasons of their own")
            << QStringList{"Alpha:refused", "Beta:timed out", "Gamma:timed out"}
            << QStringList{feeds.arg(3) + ", among them Beta's: timed out"};
        QTest::newRow("reasons that differ only in a time")
            << QStringList{"Alpha:timed out after 10001 ms", "Beta:timed out after 9999 ms",
                           "Gamma:timed out after 120s", "Delta:timed out after 0.5 seconds"}
            << QStringList{feeds.arg(4) + ": timed out after 10001 ms"};
        const QString status = QStringLiteral("The update feed answered with HTTP status %1");
        QTest::newRow("a status code is no time")
            << QStringList{"Alpha:" + status.arg(503), "Beta:" + status.arg(404), "Gamma:" + status.arg(404)}
            << QStringList{feeds.arg(3) + ", among them Beta's: " + status.arg(404)};
        // A tool's listing is read once for all of its applications.
        QTest::newRow("the tools' listings, beside a feed")
            << QStringList{"Alpha:exited with status 1:App Store", "Beta:offline",
                           "Gamma:exited with status 1:App Store", "Delta:refused:Homebrew"}
            << QStringList{"App Store could not be read: exited with status 1",
                           "The update feed of Beta could not be read: offline",
                           "Homebrew could not be read: refused"};
    }
    void unreadSourceLines()
    {
        QFETCH(QStringList, failures);
        QFETCH(QStringList, lines);
        ApplicationList applications{makeApp(QStringLiteral("Clean"))};
        for (QString spec : failures) {
            const bool ignored = spec.endsWith(QLatin1Char('!'));
            spec.remove(QLatin1Char('!'));
            auto app = makeApp(spec.section(QLatin1Char(':'), 0, 0));
            app->setIgnored(ignored);
            const QString source = spec.section(QLatin1Char(':'), 2);
            app->setCheckFailure(SourceFailure{source.isEmpty() ? SourceFailure::updateFeed() : source,
                                               spec.section(QLatin1Char(':'), 1, 1)});
            applications.append(app);
        }
        QCOMPARE(SidebarViewModel::unreadSourceLines(applications), lines);
    }

    void updateCheckFailureRaisesTheAlert_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("details");
        QTest::newRow("environment not ready")
            << "offline" << kNotReady << QStringLiteral("CoordinatorError(\"%1\")").arg(kNotReady);
        QTest::newRow("source listing fails") << "service"
                                              << "Homebrew command failed to execute"
                                              << "Error(\"Homebrew command failed to execute\")";
        QTest::newRow("foreign exception") << "foreign"
                                           << "bad \"quote\""
                                           << "runtime_error(\"bad \\\"quote\\\"\")";
    }

    void updateCheckFailureRaisesTheAlert()
    {
        QFETCH(QString, cause);
        QFETCH(QString, description);
        QFETCH(QString, details);
        ViewModelTestWorld world;
        world.store.setApplications({makeApp(QStringLiteral("Safari"))});
        if (cause == QLatin1String("offline"))
            world.store.setEnvironmentStatus(EnvironmentStatus{true, true, false, std::nullopt});
        if (cause == QLatin1String("service"))
            world.updates->setCheckFailure(description);
        if (cause == QLatin1String("foreign"))
            world.coordinator.failWith(Op::checkForUpdates, std::runtime_error(description.toStdString()));
        QSignalSpy alert(&world.appState, &AppState::showUpdateCheckErrorChanged);

        QFuture<void> done = world.sidebar.checkForUpdates();
        AWAIT(done);
        QCOMPARE(world.sidebar.errorMessage(), std::optional(description));
        QCOMPARE(world.appState.updateCheckErrorMessage(), description);
        QCOMPARE(world.appState.showUpdateCheckError(), true);
        QCOMPARE(alert.count(), 1);
        QCOMPARE(world.sidebar.isCheckingUpdates(), false);
        QCOMPARE(world.sidebar.checkProblems(), QStringList{"Failed to check for updates: " + description});

        const auto lines = world.log.lines();
        const qsizetype first = lines.indexOf(
            qMakePair(Logger::Level::error, QStringLiteral("Failed to check for updates: ") + description));
        QVERIFY(first >= 0);
        QCOMPARE(lines.value(first + 1),
                 qMakePair(Logger::Level::error, QStringLiteral("Error details: ") + details));
    }

    // The next check clears the error text but leaves the alert to the window that shows it.
    void nextCheckClearsTheErrorText()
    {
        ViewModelTestWorld world;
        world.store.setApplications({makeApp(QStringLiteral("Safari"))});
        world.updates->setCheckFailure(QStringLiteral("down"));
        QFuture<void> failed = world.sidebar.checkForUpdates();
        AWAIT(failed);
        world.updates->setCheckFailure(std::nullopt);
        QFuture<void> again = world.sidebar.checkForUpdates();
        QCOMPARE(world.sidebar.errorMessage(), std::nullopt);
        AWAIT(again);
        QCOMPARE(world.sidebar.errorMessage(), std::nullopt);
        QCOMPARE(world.sidebar.checkProblems(), QStringList());
        QCOMPARE(world.appState.showUpdateCheckError(), true);
    }

    void discoveryAndCheckRunTogether()
    {
        ViewModelTestWorld world;
        world.store.setApplications({makeApp(QStringLiteral("Safari"))});
        auto gate = world.gate();
        world.coordinator.setGate(Op::discoverApplications, gate);
        QFuture<void> discovery = world.sidebar.discoverApplications();
        QFuture<void> check = world.sidebar.checkForUpdates();
        QVERIFY(world.sidebar.isDiscovering());
        QVERIFY(world.sidebar.isCheckingUpdates());
        AWAIT(check);
        QVERIFY(world.sidebar.isDiscovering());
        gate->open();
        AWAIT(discovery);
        QCOMPARE(world.sidebar.isDiscovering(), false);
    }

    void forwardedProgressArrivesOnTheMainThreadInOrder()
    {
        auto first = makeApp(QStringLiteral("First"));
        auto second = makeApp(QStringLiteral("Second"));
        const ApplicationList batch{first, second};
        QList<QPair<int, QString>> received;
        bool offMain = false;
        auto handler = [&](int position, const UpdateProgress& progress) {
            offMain |= QThread::currentThread() != qApp->thread();
            received.append({position, progress.currentStep});
        };

        QFuture<void> reporter = runAsync([&] {
            for (int step = 0; step < 3; ++step) {
                UpdateProgress progress;
                progress.id = QUuid::createUuid();
                progress.application = step == 1 ? first : second;
                progress.currentStep = QString::number(step);
                forwardProgressToMainActor(progress, batch, handler);
            }
            UpdateProgress stranger;
            stranger.application = makeApp(QStringLiteral("Stranger"));
            forwardProgressToMainActor(stranger, batch, handler);
            forwardProgressToMainActor(UpdateProgress{}, ApplicationList{nullptr}, handler);
        });
        AWAIT(reporter);
        QTRY_COMPARE(received.size(), 3);
        QCoreApplication::processEvents();
        QCOMPARE(received, (QList<QPair<int, QString>>{{1, "0"}, {0, "1"}, {1, "2"}}));
        QVERIFY(!offMain);
    }

    void forwardedProgressToAGoneContextIsDropped()
    {
        auto app = makeApp(QStringLiteral("Only"));
        UpdateProgress progress;
        progress.application = app;
        int calls = 0;
        auto context = std::make_unique<QObject>();
        forwardProgressToMainActor(
            progress, {app}, [&](int, const UpdateProgress&) { ++calls; }, context.get());
        context.reset();
        forwardProgressToMainActor(progress, {app}, [&](int, const UpdateProgress&) { ++calls; });
        QTRY_COMPARE(calls, 1);
        QCoreApplication::processEvents();
        QCOMPARE(calls, 1);
    }
};

QTEST_GUILESS_MAIN(TestSidebarViewModel)
#include "tst_sidebarviewmodel.moc"
