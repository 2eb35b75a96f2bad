#include "FakeBrewService.h"
#include "FakeMASService.h"
#include "FakeSparkleService.h"
#include "LogCapture.h"
#include "RecordMakers.h"
#include "ServiceTestKit.h"
#include "model/NorvelleError.h"
#include "services/UpdateService.h"
#include "util/Async.h"

#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <condition_variable>
#include <future>

using namespace norvelle;
using norvelle::test::FakeBrewService;
using norvelle::test::FakeMASService;
using norvelle::test::FakeSparkleService;
using norvelle::test::infoLines;
using norvelle::test::LogCapture;
using norvelle::test::makeUpdate;
using norvelle::test::Meeting;
using Level = Logger::Level;
using Source = Application::Source;
using Sources = QList<Source>;

Q_DECLARE_METATYPE(Sources)

namespace {

const EnvironmentStatus kBothTools = norvelle::test::bothTools();
const EnvironmentStatus kNoTools = norvelle::test::noTools();

std::shared_ptr<Application> app(const QString& name, const QString& identifier, Sources sources)
{
    return Application::create(name, identifier, QUrl::fromLocalFile("/Applications/" + name + ".app"),
                               QStringLiteral("1.0"), std::move(sources));
}

} // namespace

class TestUpdateCheck : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<FakeBrewService> m_brew;
    std::shared_ptr<FakeMASService> m_mas;
    std::shared_ptr<FakeSparkleService> m_sparkle;
    std::unique_ptr<UpdateService> m_service;

private Q_SLOTS:
    void init()
    {
        m_brew = std::make_shared<FakeBrewService>();
        m_mas = std::make_shared<FakeMASService>();
        m_sparkle = std::make_shared<FakeSparkleService>();
        m_service = std::make_unique<UpdateService>(m_brew, m_mas, m_sparkle);
    }

    void selection_data()
    {
        QTest::addColumn<Sources>("sources");
        QTest::addColumn<QStringList>("offers"); // one version per source, "-" for none
        QTest::addColumn<QString>("version");    // empty: nothing chosen
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("line"); // empty: no line
        const Sources brewSparkle{Source::homebrew, Source::sparkle};
        QTest::newRow("tie: Homebrew first")
            << brewSparkle << QStringList{"2.0", "2.0"} << "2.0"
            << "homebrew"
            << "Multiple updates available for Example, selected newest: 2.0 from homebrew";
        QTest::newRow("tie: Sparkle first")
            << Sources{Source::sparkle, Source::homebrew} << QStringList{"2.0", "2.0"} << "2.0"
            << "homebrew"
            << "Multiple updates available for Example, selected newest: 2.0 from homebrew";
        QTest::newRow("newer Sparkle")
            << brewSparkle << QStringList{"2.0", "2.0.1"} << "2.0.1"
            << "sparkle"
            << "Multiple updates available for Example, selected newest: 2.0.1 from sparkle";
        QTest::newRow("build beats none")
            << brewSparkle << QStringList{"2.0,120", "2.0"} << "2.0,120"
            << "homebrew"
            << "Multiple updates available for Example, selected newest: 2.0,120 from homebrew";
        QTest::newRow("store first, older")
            << Sources{Source::appStore, Source::homebrew} << QStringList{"1.5", "2.0"} << "1.5"
            << "appStore"
            << "Multiple updates available for Example, selected 1.5 from appStore (MAS priority)";
        QTest::newRow("store last, older")
            << Sources{Source::homebrew, Source::appStore} << QStringList{"2.0", "1.5"} << "1.5"
            << "appStore"
            << "Multiple updates available for Example, selected 1.5 from appStore (MAS priority)";
        QTest::newRow("store with latest elsewhere")
            << Sources{Source::homebrew, Source::sparkle, Source::appStore}
            << QStringList{"latest", "9", "1.0"} << "1.0"
            << "appStore"
            << "Multiple updates available for Example, selected 1.0 from appStore (MAS priority)";
        QTest::newRow("one offer") << Sources{Source::homebrew} << QStringList{"2.0"} << "2.0"
                                   << "homebrew"
                                   << "";
        QTest::newRow("one of two offers") << brewSparkle << QStringList{"-", "3.0"} << "3.0"
                                           << "sparkle"
                                           << "";
        QTest::newRow("other is not asked") << Sources{Source::other} << QStringList{"-"} << ""
                                            << ""
                                            << "";
        QTest::newRow("no sources") << Sources{} << QStringList{} << ""
                                    << ""
                                    << "";
    }
    void selection()
    {
        QFETCH(Sources, sources);
        QFETCH(QStringList, offers);
        QFETCH(QString, version);
        QFETCH(QString, source);
        QFETCH(QString, line);
        const auto application = app("Example", "com.example.app", sources);
        for (qsizetype i = 0; i < sources.size(); ++i) {
            if (offers.at(i) == "-")
                continue;
            switch (sources.at(i)) {
            case Source::homebrew:
                m_brew->offerUpdate(application->path().toLocalFile(),
                                    makeUpdate(offers.at(i), Update::Source::homebrew));
                break;
            case Source::sparkle:
                m_sparkle->offerUpdate("com.example.app", makeUpdate(offers.at(i), Update::Source::sparkle));
                break;
            case Source::appStore:
                m_mas->offerUpdate("com.example.app", makeUpdate(offers.at(i), Update::Source::appStore));
                break;
            case Source::other:
                break;
            }
        }
        LogCapture log;
        const std::optional<Update> chosen = m_service->checkForUpdate(application, sources);
        QCOMPARE(chosen ? chosen->latestVersion : QString(), version);
        QCOMPARE(chosen ? toRawValue(chosen->source) : QString(), source);
        QCOMPARE(infoLines(log), line.isEmpty() ? QStringList() : QStringList{line});
        if (sources == Sources{Source::other})
            QVERIFY(m_brew->calls().isEmpty() && m_mas->calls().isEmpty() && m_sparkle->calls().isEmpty());
    }

    void askedWithTheApplicationsFacts()
    {
        const auto application =
            app("Tool", "com.example.tool", {Source::appStore, Source::homebrew, Source::sparkle});
        application->setCurrentVersion("3.1,310");
        m_service->checkForUpdate(application, application->source());
        QCOMPARE(m_mas->calls(), QStringList{"checkForUpdate com.example.tool"});
        QCOMPARE(m_brew->calls(), QStringList{"checkUpdate /Applications/Tool.app 3.1,310"});
        QCOMPARE(m_sparkle->calls(), QStringList{"checkForUpdate com.example.tool"});
    }

    // A feed that cannot be read, or the store's listing, offers nothing and is named; the other
    // sources still count, and the check goes on. The store is not asked from a listing it could
    // not read again.
    void unreadSourceCostsOnlyItsOwn_data()
    {
        QTest::addColumn<Sources>("sources");
        QTest::addColumn<bool>("feedFails");
        QTest::addColumn<bool>("storeFails");
        QTest::addColumn<QString>("version"); // chosen, empty for none
        QTest::addColumn<QString>("unread");  // the source named, empty for none
        const QString feed = SourceFailure::updateFeed();
        const QString store = SourceFailure::appStore();
        QTest::newRow("feed, Homebrew offers")
            << Sources{Source::sparkle, Source::homebrew} << true << false << "2.0" << feed;
        QTest::newRow("store listing, the feed offers")
            << Sources{Source::appStore, Source::sparkle} << false << true << "3.0" << store;
        QTest::newRow("store listing, not the store's") << Sources{Source::homebrew} << false << true << "2.0"
                                                        << "";
        // Where both failed, the store's failure, shared by all its applications, is named.
        QTest::newRow("feed, then store listing")
            << Sources{Source::sparkle, Source::appStore} << true << true << "" << store;
        QTest::newRow("store listing, then feed")
            << Sources{Source::appStore, Source::sparkle} << true << true << "" << store;
    }
    void unreadSourceCostsOnlyItsOwn()
    {
        QFETCH(Sources, sources);
        QFETCH(bool, feedFails);
        QFETCH(bool, storeFails);
        QFETCH(QString, version);
        QFETCH(QString, unread);
        const auto application = app("Example", "com.example.app", sources);
        if (feedFails)
            m_sparkle->failCheck("com.example.app");
        else
            m_sparkle->offerUpdate("com.example.app", makeUpdate("3.0", Update::Source::sparkle));
        if (storeFails)
            m_mas->onLoadOutdatedApps = [] { throw NorvelleError::masCommandFailed(); };
        m_mas->offerUpdate("com.example.app", makeUpdate("1.5", Update::Source::appStore));
        m_brew->offerUpdate(application->path().toLocalFile(), makeUpdate("2.0", Update::Source::homebrew));
        CheckFailures failures;
        const QHash<QString, Update> updates =
            m_service->checkForUpdates({application}, kBothTools, &failures);
        QCOMPARE(updates.value("com.example.app").latestVersion, version);
        QCOMPARE(failures.value("com.example.app").source, unread);
        QCOMPARE(m_mas->calls().contains("checkForUpdate com.example.app"),
                 sources.contains(Source::appStore) && !storeFails);
    }

    void stageLines_data()
    {
        QTest::addColumn<bool>("tools");
        QTest::newRow("both tools") << true;
        QTest::newRow("no tools") << false;
    }
    void stageLines()
    {
        QFETCH(bool, tools);
        LogCapture log;
        const QHash<QString, Update> updates = m_service->checkForUpdates({}, tools ? kBothTools : kNoTools);
        QVERIFY(updates.isEmpty());
        QStringList expected;
        if (!tools)
            expected << "Skipping Homebrew outdated check - Homebrew not installed"
                     << "Skipping MAS outdated check - MAS CLI not installed";
        QStringList lines = infoLines(log);
        QCOMPARE(lines.mid(0, expected.size()), expected);
        lines = lines.mid(expected.size());
        QCOMPARE(lines.size(), 3);
        const QStringList labels{"Parallel outdated checks: ", "Update checks: ", "Total update check: "};
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(QRegularExpression("^" + QRegularExpression::escape(labels.at(i)) + "\\d+\\.\\d\\ds$")
                         .match(lines.at(i))
                         .hasMatch(),
                     qPrintable(lines.at(i)));
        }
        QCOMPARE(m_brew->count("loadOutdatedCasks"), tools ? 1 : 0);
        QCOMPARE(m_mas->count("loadOutdatedApps"), tools ? 1 : 0);
    }

    // A failed listing ends the check only after the other listing has run to its end, and
    // no application is asked.
    void failingListingWaitsForTheOther()
    {
        std::mutex mutex;
        std::condition_variable changed;
        bool brewFailed = false;
        bool release = false;
        QStringList events;
        auto note = [&](const QString& event) {
            std::lock_guard lock(mutex);
            events << event;
            changed.notify_all();
        };
        m_brew->onLoadOutdatedCasks = [&] {
            {
                std::lock_guard lock(mutex);
                brewFailed = true;
            }
            note("brew failed");
            throw NorvelleError::brewCommandFailed();
        };
        m_mas->onLoadOutdatedApps = [&] {
            std::unique_lock lock(mutex);
            changed.wait_for(lock, std::chrono::seconds(10), [&] { return release; });
            events << "mas ended";
        };
        const auto application = app("Tool", "com.example.tool", {Source::homebrew});

        LogCapture log;
        std::atomic<bool> finished = false;
        auto check = std::async(std::launch::async, [&] {
            try {
                m_service->checkForUpdates({application}, kBothTools);
            } catch (...) {
                note("check ended");
                finished = true;
                throw;
            }
            finished = true;
        });
        QTRY_VERIFY([&] {
            std::lock_guard lock(mutex);
            return brewFailed;
        }());
        // The Homebrew error is in; the check must still wait for the store listing.
        QVERIFY(!QTest::qWaitFor([&] { return finished.load(); }, 100));
        {
            std::lock_guard lock(mutex);
            release = true;
            changed.notify_all();
        }
        try {
            check.get();
            QFAIL("the check must fail with the listing's error");
        } catch (const NorvelleError& error) {
            QCOMPARE(error.errorCase(), NorvelleError::Case::brewCommandFailed);
        }
        QCOMPARE(events, (QStringList{"brew failed", "mas ended", "check ended"}));
        QVERIFY(!m_brew->calls().contains("checkUpdate /Applications/Tool.app 1.0"));
        QVERIFY(!log.containsPrefix(Level::info, "Parallel outdated checks: "));
        QVERIFY(!log.containsPrefix(Level::info, "Total update check: "));
    }

    // The feeds need neither tool's listing, so they are asked for while the listings run.
    void feedsAreAskedForWhileTheListingsRun()
    {
        std::promise<void> prefetched;
        m_sparkle->onPrefetch = [&] { prefetched.set_value(); };
        bool duringListing = false;
        m_mas->onLoadOutdatedApps = [&, asked = prefetched.get_future().share()] {
            duringListing = asked.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        };
        const auto feed = app("Feed", "com.example.feed", {Source::sparkle});
        m_sparkle->offerUpdate("com.example.feed", makeUpdate("2.0", Update::Source::sparkle));
        const QHash<QString, Update> updates = m_service->checkForUpdates({feed}, kBothTools);
        QVERIFY(duringListing);
        QCOMPARE(m_sparkle->calls(), (QStringList{"prefetchChecks 1", "checkForUpdate com.example.feed"}));
        QCOMPARE(updates.value("com.example.feed").latestVersion, QStringLiteral("2.0"));
    }

    // The per-application checks wait on the network, so they must be under way together. The
    // fake check blocks a thread of the network pool, which has one per core.
    void applicationsAreCheckedInParallel()
    {
        const int count = std::min(8, networkPool().maxThreadCount());
        Meeting meeting(count);
        std::atomic<int> met = 0;
        m_sparkle->onCheck = [&](const QString&) {
            if (meeting.arriveAndWait())
                ++met;
        };
        QList<std::shared_ptr<Application>> applications;
        for (int i = 0; i < count; ++i) {
            const QString id = QStringLiteral("com.example.%1").arg(i);
            applications << app(QStringLiteral("App %1").arg(i), id, {Source::sparkle});
            m_sparkle->offerUpdate(id, makeUpdate(QString::number(i), Update::Source::sparkle));
        }
        const QHash<QString, Update> updates = m_service->checkForUpdates(applications, kNoTools);
        QCOMPARE(met.load(), count);
        QCOMPARE(updates.size(), count);
        QCOMPARE(updates.value("com.example.1").latestVersion, QStringLiteral("1"));
    }

    void sameIdentifierGivesOneEntry()
    {
        const auto first = app("One", "com.example.same", {Source::homebrew});
        const auto second = app("Two", "com.example.same", {Source::homebrew});
        m_brew->offerUpdate(first->path().toLocalFile(), makeUpdate("1.1", Update::Source::homebrew));
        m_brew->offerUpdate(second->path().toLocalFile(), makeUpdate("2.2", Update::Source::homebrew));
        const QHash<QString, Update> updates = m_service->checkForUpdates({first, second}, kNoTools);
        QCOMPARE(updates.size(), 1);
        QVERIFY(QStringList({"1.1", "2.2"}).contains(updates.value("com.example.same").latestVersion));
    }
};

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
