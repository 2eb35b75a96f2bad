#include "FakeUpdaterEngine.h"
#include "UpdaterRecordingDriver.h"

#include <QtTest>

using namespace norvelle;
using namespace norvelle::test;
using Step = FakeUpdaterEngine::Step;
using K = Step::Kind;

namespace {

// Keeps the found reply to answer it later, as a driver that answers from a task does.
class HoldingDriver : public UpdaterRecordingDriver {
public:
    UpdaterReply<UpdateChoice> held;
    void updateFound(const AppcastItem& item, UpdaterReply<UpdateChoice> reply) override
    {
        events.append("found " + item.displayVersionString);
        held = reply;
    }
};

AppcastItem item(const QString& version)
{
    AppcastItem i;
    i.versionString = version;
    i.displayVersionString = version;
    return i;
}

} // namespace

class FakeUpdaterEngineTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void playsTheScriptInOrder();
    void waitsForReplies();
    void factoryHandsOutScripts();
};

void FakeUpdaterEngineTest::playsTheScriptInOrder()
{
    UpdaterRecordingDriver driver;
    driver.foundChoice = UpdateChoice::install;
    FakeUpdaterEngine fake(driver, &driver,
                           {Step::of(K::permissionRequest), Step::found(item("2.0")),
                            Step::of(K::downloadInitiated), Step::bytes(K::expectedContentLength, 10),
                            Step::bytes(K::receivedData, 10), Step::of(K::extractionStarted),
                            Step::extraction(0.5), Step::of(K::readyToInstall), Step::of(K::installing),
                            Step::of(K::installed), Step::of(K::dismissInstallation)});
    QVERIFY(!fake.checkForUpdates()); // not started
    fake.start();
    QVERIFY(fake.checkForUpdates());
    QVERIFY(driver.events.isEmpty()); // nothing during the call itself
    QTRY_VERIFY(fake.canCheckForUpdates());
    QCOMPARE(driver.events, (QStringList{"permission", "found 2.0", "downloadInitiated", "expectedLength",
                                         "extractionStarted", "readyToInstall", "installing", "installed",
                                         "dismissInstallation"}));
    QCOMPARE(driver.receivedBytes, 10u);
    QCOMPARE(driver.extractionFractions, QList<double>{0.5});
    QCOMPARE(fake.choices, (QList<UpdateChoice>{UpdateChoice::install, UpdateChoice::install}));
    QCOMPARE(fake.permissionResponses.size(), 1);
    QCOMPARE(fake.acknowledgements, 1);
}

void FakeUpdaterEngineTest::waitsForReplies()
{
    HoldingDriver driver;
    FakeUpdaterEngine fake(driver, nullptr, {Step::found(item("2.0")), Step::of(K::dismissInstallation)});
    fake.start();
    fake.checkForUpdates();
    QTRY_COMPARE(driver.events, QStringList{"found 2.0"});
    QCoreApplication::processEvents();
    QCOMPARE(driver.events, QStringList{"found 2.0"});
    QVERIFY(fake.sessionInProgress());
    driver.held(UpdateChoice::skip);
    QTRY_COMPARE(driver.events, (QStringList{"found 2.0", "dismissInstallation"}));
    QCOMPARE(fake.choices, QList<UpdateChoice>{UpdateChoice::skip});

    // A dropped reply counts as dismiss.
    driver.events.clear();
    fake.checkForUpdates();
    QTRY_COMPARE(driver.events, QStringList{"found 2.0"});
    driver.held = {};
    QTRY_COMPARE(driver.events, (QStringList{"found 2.0", "dismissInstallation"}));
    QCOMPARE(fake.choices.last(), UpdateChoice::dismiss);
}

void FakeUpdaterEngineTest::factoryHandsOutScripts()
{
    UpdaterRecordingDriver driver;
    driver.feedUrlOverride = "https://feed.example.org/a.xml";
    FakeUpdaterFactory factory;
    factory.scripts = {{Step::of(K::updateNotFound)},
                       {Step::failed(UpdaterError(UpdaterError::Kind::feedFailed, "offline"))}};
    std::unique_ptr<Updater> first = factory.create("/Applications/A.app", driver, &driver);
    std::unique_ptr<Updater> second = factory.create("/Applications/B.app", driver, &driver);
    std::unique_ptr<Updater> third = factory.create("/Applications/C.app", driver, nullptr);
    QCOMPARE(factory.created.size(), 3);
    QCOMPARE(factory.created[1].bundlePath, "/Applications/B.app");

    first->start();
    QCOMPARE(first->feedUrl(), QUrl("https://feed.example.org/a.xml"));
    QCOMPARE(factory.created[0].updater->delegateFeedUrl, driver.feedUrlOverride);
    first->checkForUpdates();
    QTRY_COMPARE(driver.events, QStringList{"notFound"});
    third->start();
    third->checkForUpdates(); // the last script again
    QTRY_COMPARE(driver.events, (QStringList{"notFound", "error: offline"}));

    factory.startError = UpdaterError(UpdaterError::Kind::invalidFeed, "no feed");
    std::unique_ptr<Updater> failing = factory.create("/Applications/D.app", driver, nullptr);
    QVERIFY_THROWS_EXCEPTION(UpdaterError, failing->start());
    QVERIFY(!failing->canCheckForUpdates());
}

QTEST_GUILESS_MAIN(FakeUpdaterEngineTest)
#include "tst_updater_fakeengine.moc"
