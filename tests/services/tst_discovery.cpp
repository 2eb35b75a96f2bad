#include "BundleBuilder.h"
#include "FakeBrewService.h"
#include "FakeMASService.h"
#include "FakeSparkleService.h"
#include "LogCapture.h"
#include "RecordMakers.h"
#include "ServiceTestKit.h"
#include "TempRoot.h"
#include "model/NorvelleError.h"
#include "services/ApplicationScanner.h"
#include "services/DiscoveryService.h"
#include "sources/ToolRunner.h"
#include "sources/brew/CatalogueError.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <sys/stat.h>
#ifdef Q_OS_LINUX
#include <poll.h>
#include <sys/inotify.h>
#endif
#include <unistd.h>

using namespace norvelle;
using norvelle::test::BundleBuilder;
using norvelle::test::FakeBrewService;
using norvelle::test::FakeMASService;
using norvelle::test::FakeSparkleService;
using norvelle::test::LogCapture;
using norvelle::test::makeCask;
using norvelle::test::Meeting;
using norvelle::test::TempRoot;
using Level = Logger::Level;
using Source = Application::Source;
using Sources = QList<Source>;

Q_DECLARE_METATYPE(Sources)

namespace {

const EnvironmentStatus kBothTools = norvelle::test::bothTools();
const EnvironmentStatus kNoTools = norvelle::test::noTools();

} // namespace

class TestDiscovery : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempRoot> m_root;
    std::shared_ptr<FakeBrewService> m_brew;
    std::shared_ptr<FakeMASService> m_mas;
    std::unique_ptr<DiscoveryService> m_service;

    QString apps() const { return m_root->paths().applicationsFolder; }
    BundleBuilder bundle(const QString& name, const QString& identifier) const
    {
        return BundleBuilder(apps(), name).bundleIdentifier(identifier);
    }
    std::shared_ptr<Application> discover(const QString& path, bool hasHomebrew = true, bool hasMAS = true)
    {
        return m_service->discoverApplication(QUrl::fromLocalFile(path), hasHomebrew, hasMAS);
    }
    static QStringList names(const QList<std::shared_ptr<Application>>& applications)
    {
        QStringList result;
        for (const auto& application : applications)
            result << application->name();
        return result;
    }

private Q_SLOTS:
    void init()
    {
        m_root = std::make_unique<TempRoot>();
        m_root->makeDirectory(QStringLiteral("/Applications"));
        m_brew = std::make_shared<FakeBrewService>();
        m_mas = std::make_shared<FakeMASService>();
        m_service = std::make_unique<DiscoveryService>(
            m_brew, m_mas, std::make_shared<FakeSparkleService>(),
            DiscoveryService::defaultFilteredBundleIdentifiers(QStringLiteral("com.norvelle.Norvelle")),
            DiscoveryService::Options{apps(), {}, QLocale(QLocale::English, QLocale::UnitedStates)});
    }

    void versionRule_data()
    {
        QTest::addColumn<QVariant>("shortVersion"); // invalid: key absent
        QTest::addColumn<QVariant>("build");
        QTest::addColumn<QString>("expected");
        const QVariant absent;
        QTest::newRow("short and different build") << QVariant("2.1") << QVariant("2105") << "2.1,2105";
        QTest::newRow("build equal to short") << QVariant("2.1") << QVariant("2.1") << "2.1";
        QTest::newRow("empty build") << QVariant("2.1") << QVariant("") << "2.1";
        QTest::newRow("short alone") << QVariant("3.0") << absent << "3.0";
        QTest::newRow("build alone") << absent << QVariant("7") << "7";
        QTest::newRow("neither") << absent << absent << "1.0";
        QTest::newRow("empty short counts as present") << QVariant("") << QVariant("7") << ",7";
        QTest::newRow("a number is no version") << QVariant(qint64(5)) << QVariant("12") << "12";
    }
    void versionRule()
    {
        QFETCH(QVariant, shortVersion);
        QFETCH(QVariant, build);
        QFETCH(QString, expected);
        // The same keys as an XML and as a binary property list.
        for (const bool binary : {false, true}) {
            BundleBuilder builder = bundle(binary ? "Binary" : "Xml", "com.example.version");
            builder.binary(binary).remove(QStringLiteral("CFBundleShortVersionString"));
            if (shortVersion.isValid())
                builder.set(QStringLiteral("CFBundleShortVersionString"), shortVersion);
            if (build.isValid())
                builder.set(QStringLiteral("CFBundleVersion"), build);
            const std::shared_ptr<Application> application = discover(builder.build());
            QVERIFY(application);
            QCOMPARE(application->currentVersion(), expected);
        }
    }

    void feedRule_data()
    {
        QTest::addColumn<QVariantMap>("keys");
        QTest::addColumn<QString>("expected"); // empty: no Sparkle source
        const QString good = QStringLiteral("https://example.com/appcast.xml");
        QTest::newRow("SUFeedURL") << QVariantMap{{"SUFeedURL", good}} << good;
        QTest::newRow("last key") << QVariantMap{{"SPUFeedURL", good}} << good;
        QTest::newRow("key order") << QVariantMap{{"SUAppcastURL", "https://b.example/x"},
                                                  {"SUUpdateServer", good}}
                                   << good;
        // An earlier entry that failed the test is never the one fetched.
        QTest::newRow("plain http passed over")
            << QVariantMap{{"SUFeedURL", "http://example.com/feed"}, {"SUUpdateServer", good}} << good;
        QTest::newRow("scheme is case-sensitive")
            << QVariantMap{{"SUFeedURL", "HTTPS://example.com/feed"}} << QString();
        QTest::newRow("corporate domain only")
            << QVariantMap{{"SUFeedURL", "https://updates.corp.apple.com/feed"}} << QString();
        QTest::newRow("corporate domain passed over")
            << QVariantMap{{"SUFeedURL", "https://updates.corp.apple.com/feed"}, {"SPUFeedURL", good}}
            << good;
        QTest::newRow("https without a host")
            << QVariantMap{{"SUFeedURL", "https://"}, {"SUAppcastURL", good}} << good;
        QTest::newRow("not a string") << QVariantMap{{"SUFeedURL", true}} << QString();
        QTest::newRow("empty") << QVariantMap{{"SUFeedURL", ""}} << QString();
        QTest::newRow("none") << QVariantMap{} << QString();
    }
    void feedRule()
    {
        QFETCH(QVariantMap, keys);
        QFETCH(QString, expected);
        BundleBuilder builder = bundle("Feed", "com.example.feed");
        for (auto it = keys.cbegin(); it != keys.cend(); ++it)
            builder.set(it.key(), it.value());
        const std::shared_ptr<Application> application = discover(builder.build(), false, false);
        QVERIFY(application);
        if (expected.isEmpty()) {
            QCOMPARE(application->source(), Sources{Source::other});
            QVERIFY(!application->sparkleInfo());
            return;
        }
        QCOMPARE(application->source(), Sources{Source::sparkle});
        const SparkleInfo info = application->sparkleInfo().value();
        QCOMPARE(info.feedURL, QUrl(expected));
        QVERIFY(!info.signature);
        QVERIFY(!info.releaseNotesURL);
        QVERIFY(info.supportsAutomaticUpdates);
    }

    void sourceRule_data()
    {
        QTest::addColumn<bool>("hasHomebrew");
        QTest::addColumn<bool>("hasMAS");
        QTest::addColumn<QString>("brew"); // managed, managed-no-info, trash, adoptable, or empty
        QTest::addColumn<bool>("inAppStore");
        QTest::addColumn<bool>("withFeed");
        QTest::addColumn<Sources>("sources");
        QTest::addColumn<QString>("caskName"); // empty: no cask

        QTest::newRow("nothing") << true << true << "" << false << false << Sources{Source::other} << "";
        QTest::newRow("managed") << true << true << "managed" << false << false << Sources{Source::homebrew}
                                 << "tool";
        QTest::newRow("managed without metadata")
            << true << true << "managed-no-info" << false << false << Sources{Source::homebrew} << "";
        QTest::newRow("trash match") << true << true << "trash" << false << false << Sources{Source::homebrew}
                                     << "tool-by-trash";
        QTest::newRow("adoptable only")
            << true << true << "adoptable" << false << false << Sources{Source::other} << "tool-adoptable";
        QTest::newRow("adoptable with feed")
            << true << true << "adoptable" << false << true << Sources{Source::sparkle} << "tool-adoptable";
        QTest::newRow("app store") << true << true << "" << true << false << Sources{Source::appStore} << "";
        QTest::newRow("all three") << true << true << "managed" << true << true
                                   << Sources{Source::appStore, Source::homebrew, Source::sparkle} << "tool";
        QTest::newRow("no brew: nothing of Homebrew")
            << false << true << "managed" << true << false << Sources{Source::appStore} << "";
        QTest::newRow("no mas: nothing of the store")
            << true << false << "trash" << true << false << Sources{Source::homebrew} << "tool-by-trash";
    }
    void sourceRule()
    {
        QFETCH(bool, hasHomebrew);
        QFETCH(bool, hasMAS);
        QFETCH(QString, brew);
        QFETCH(bool, inAppStore);
        QFETCH(bool, withFeed);
        QFETCH(Sources, sources);
        QFETCH(QString, caskName);

        BundleBuilder builder = bundle("Tool", "com.example.tool").shortVersion("4.2");
        if (withFeed)
            builder.set(QStringLiteral("SUFeedURL"), QStringLiteral("https://example.com/tool.xml"));
        const QString path = builder.build();
        if (brew == "managed")
            m_brew->manage(path, makeCask("tool"));
        else if (brew == "managed-no-info")
            m_brew->manage(path, std::nullopt);
        else if (brew == "trash")
            m_brew->matchTrash("com.example.tool", makeCask("tool-by-trash"));
        else if (brew == "adoptable")
            m_brew->offerAdoptable("Tool", makeCask("tool-adoptable", true));
        if (inAppStore)
            m_mas->install("com.example.tool", "4242");

        const std::shared_ptr<Application> application = discover(path, hasHomebrew, hasMAS);
        QVERIFY(application);
        QCOMPARE(application->source(), sources);
        QCOMPARE(application->cask() ? application->cask()->caskName : QString(), caskName);
        if (brew == "adoptable")
            QVERIFY(application->cask()->adoptable);
        const bool storeRecord = hasMAS && inAppStore;
        QCOMPARE(application->mas().has_value(), storeRecord);
        if (storeRecord) {
            QCOMPARE(application->mas()->appID, QStringLiteral("4242"));
            QCOMPARE(m_mas->count("masInfo com.example.tool 4.2"), 1);
        }
        if (!hasHomebrew)
            QVERIFY(m_brew->calls().isEmpty());
        if (!hasMAS)
            QVERIFY(m_mas->calls().isEmpty());
        // A single-bundle build reads the tables; it never loads them.
        QCOMPARE(m_brew->count("loadInstalledCasks"), 0);
        QCOMPARE(m_mas->count("loadInstalledApps"), 0);
    }

    void fixedFields()
    {
        const QString path = bundle("Fixed Name", "com.example.fixed").shortVersion("1.2").binary().build();
        const std::shared_ptr<Application> first = discover(path);
        const std::shared_ptr<Application> second = discover(path);
        QVERIFY(first && second);
        QCOMPARE(first->name(), QStringLiteral("Fixed Name"));
        QCOMPARE(first->bundleIdentifier(), QStringLiteral("com.example.fixed"));
        QCOMPARE(first->path(), QUrl::fromLocalFile(path));
        QVERIFY(!first->ignored());
        QVERIFY(!first->skippedVersion());
        QVERIFY(!first->update());
        QVERIFY(first->id() != second->id()); // a rebuilt bundle is a new record
    }

    void leftOut_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::newRow("Safari") << QByteArray("com.apple.Safari");
        QTest::newRow("Feedback Assistant") << QByteArray("com.apple.appleseed.FeedbackAssistant");
        QTest::newRow("this application") << QByteArray("com.norvelle.Norvelle");
        QTest::newRow("no identifier") << QByteArray("no-identifier");
        QTest::newRow("identifier not a string") << QByteArray("identifier-number");
        QTest::newRow("no Info.plist") << QByteArray("no-plist");
        QTest::newRow("array at the top") << QByteArray("array");
    }
    void leftOut()
    {
        QFETCH(QByteArray, kind);
        BundleBuilder builder(apps(), QStringLiteral("Left"));
        if (kind == "no-identifier")
            builder.shortVersion("1");
        else if (kind == "identifier-number")
            builder.set(QStringLiteral("CFBundleIdentifier"), qint64(3));
        else if (kind == "no-plist")
            builder.withoutInfoPlist();
        else if (kind == "array")
            builder.rawInfoPlist(*PropertyList::serialize(QVariantList{"a"}, PropertyList::Format::xml));
        else
            builder.bundleIdentifier(QString::fromLatin1(kind));
        QCOMPARE(discover(builder.build()), nullptr);
    }

    void singleBundleReadErrorsFail()
    {
        const QString path =
            BundleBuilder(apps(), "Broken").rawInfoPlist("<?xml version=\"1.0\"?><plist><dict>").build();
        try {
            discover(path);
            QFAIL("an unparsable Info.plist must fail the single-bundle build");
        } catch (const Error& error) {
            QVERIFY(error.description().contains(QStringLiteral("Broken.app/Contents/Info.plist")));
        }
    }

    void scanRule()
    {
        bundle("Top", "com.example.top").build();
        bundle(".Hidden", "com.example.hidden").build();
        BundleBuilder(apps() + "/Utilities", "Inner").bundleIdentifier("com.example.inner").build();
        BundleBuilder(apps() + "/Utilities/Deeper", "Deep").bundleIdentifier("com.example.deep").build();
        // A bundle is never searched inside, and the extension is case-sensitive.
        BundleBuilder(bundle("Outer", "com.example.outer").build(), "Nested")
            .bundleIdentifier("com.example.nested")
            .build();
        BundleBuilder(apps(), "Capitals").bundleIdentifier("com.example.caps").build();
        QVERIFY(QDir(apps()).rename("Capitals.app", "Capitals.APP"));
        m_root->writeFile("/Applications/Plain.app", "not a folder");

        const ApplicationScanner::Result scan = ApplicationScanner::scan(apps());
        QStringList found;
        for (const QString& path : scan.bundlePaths)
            found << path.mid(apps().size() + 1);
        found.sort();
        QCOMPARE(found,
                 (QStringList{".Hidden.app", "Outer.app", "Plain.app", "Top.app", "Utilities/Inner.app"}));

        const QList<std::shared_ptr<Application>> applications = m_service->discoverApplications(kNoTools);
        QCOMPARE(names(applications), (QStringList{".Hidden", "Inner", "Outer", "Top"}));
    }

    void brokenEntriesAreSkipped()
    {
        bundle("Good", "com.example.good").build();
        const QString broken = BundleBuilder(apps(), "Broken").rawInfoPlist("not a property list").build();
        // An Info.plist that is a folder exists but cannot be read.
        const QString unreadable = BundleBuilder(apps(), "Unreadable").withoutInfoPlist().build();
        QVERIFY(QDir().mkpath(unreadable + "/Contents/Info.plist"));
        const QString locked = m_root->makeDirectory("/Applications/Locked");
        BundleBuilder(locked, "Hidden").bundleIdentifier("com.example.hidden").build();
        QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
        const bool enforced = geteuid() != 0; // root reads the folder anyway

        LogCapture log;
        const QList<std::shared_ptr<Application>> applications = m_service->discoverApplications(kNoTools);
        QFile::setPermissions(locked,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

        QVERIFY(names(applications).contains("Good"));
        QVERIFY(!names(applications).contains("Broken"));
        QVERIFY(log.containsPrefix(Level::warning,
                                   QStringLiteral("Skipping the application at ") + broken + ": "));
        QVERIFY(log.containsPrefix(Level::warning,
                                   QStringLiteral("Skipping the application at ") + unreadable + ": "));
        QVERIFY_THROWS_EXCEPTION(Error, discover(unreadable));
        if (enforced) {
            QCOMPARE(names(applications), QStringList{"Good"});
            QVERIFY(log.containsPrefix(
                Level::warning, QStringLiteral("Skipping a folder that cannot be listed: ") + locked + ": "));
        }
        QVERIFY(log.containsPrefix(Level::info, QStringLiteral("Total discovery: ")));
        // Reported after the loads, as when the bundles were read after them.
        const auto lines = log.lines();
        const auto firstIndex = [&](const QString& prefix) {
            for (qsizetype i = 0; i < lines.size(); ++i)
                if (lines.at(i).second.startsWith(prefix))
                    return i;
            return qsizetype(-1);
        };
        QVERIFY(firstIndex("Parallel data loading: ") >= 0);
        QVERIFY(firstIndex("Parallel data loading: ") < firstIndex("Skipping the application at "));
    }

    // Neither may block discovery or grow memory without end.
    void infoPlistThatIsNoFileIsSkipped_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("link to /dev/zero") << "zero";
    }
    void infoPlistThatIsNoFileIsSkipped()
    {
        QFETCH(QString, kind);
        bundle("Good", "com.example.good").build();
        const QString odd = BundleBuilder(apps(), "Odd").withoutInfoPlist().build();
        const QString plist = odd + "/Contents/Info.plist";
        QVERIFY(QDir().mkpath(odd + "/Contents"));
        if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(plist).constData(), 0600), 0);
        else
            QVERIFY(QFile::link("/dev/zero", plist));
        LogCapture log;
        QCOMPARE(names(m_service->discoverApplications(kNoTools)), QStringList{"Good"});
        QVERIFY(log.contains(Level::warning, QStringLiteral("Skipping the application at ") + odd +
                                                 ": Could not read " + plist + ": not a regular file"));
    }

    void missingApplicationsFolderFails()
    {
        QVERIFY(QDir(apps()).removeRecursively());
        try {
            m_service->discoverApplications(kNoTools);
            QFAIL("discovery without an applications folder must fail");
        } catch (const NorvelleError& error) {
            QCOMPARE(error.errorCase(), NorvelleError::Case::directoryNotFound);
        }
    }

    // A load that fails costs its source's facts, never the list; a quit ends the discovery.
    void loadsRunTogetherAndAFailureCostsOnlyItsSource_data()
    {
        // What brew's load does: "works", "fails", "quit" or "catalogue" (only the catalogue fails).
        QTest::addColumn<QString>("brew");
        QTest::addColumn<bool>("masFails");
        QTest::addColumn<QStringList>("failed"); // source: description, in that order

        const QString brew = QStringLiteral("Homebrew: ") + NorvelleError::brewCommandFailed().description();
        const QString mas = QStringLiteral("App Store: mas cannot be started");
        QTest::newRow("brew fails") << "fails" << false << QStringList{brew};
        QTest::newRow("mas fails") << "works" << true << QStringList{mas};
        QTest::newRow("both fail") << "fails" << true << QStringList{brew, mas};
        QTest::newRow("brew ended by quitting") << "quit" << false << QStringList{};
        QTest::newRow("catalogue fails")
            << "catalogue" << false
            << QStringList{"The Homebrew catalogue: The server answered with status 503"};
    }
    void loadsRunTogetherAndAFailureCostsOnlyItsSource()
    {
        QFETCH(QString, brew);
        QFETCH(bool, masFails);
        QFETCH(QStringList, failed);
        bundle("Any", "com.example.any").build();
        Meeting meeting;
        bool metInBrew = false;
        bool metInMAS = false;
        m_brew->onLoadInstalledCasks = [&] {
            metInBrew = meeting.arriveAndWait();
            if (brew == "fails")
                throw NorvelleError::brewCommandFailed();
            if (brew == "quit")
                throw NorvelleError(NorvelleError::Case::brewCommandFailed, ToolRunner::endedByQuitting);
            if (brew == "catalogue")
                throw CatalogueError(QStringLiteral("The server answered with status 503"));
        };
        m_mas->onLoadInstalledApps = [&] {
            metInMAS = meeting.arriveAndWait();
            if (masFails)
                throw Error(QStringLiteral("mas cannot be started"));
        };

        LogCapture log;
        QList<SourceFailure> failures;
        if (brew == "quit") {
            QVERIFY_THROWS_EXCEPTION(NorvelleError, m_service->discoverApplications(kBothTools, &failures));
            QVERIFY(!log.containsPrefix(Level::warning, QString()));
            return;
        }
        const QList<std::shared_ptr<Application>> applications =
            m_service->discoverApplications(kBothTools, &failures);
        QVERIFY(metInBrew && metInMAS); // both loads were under way at once
        QStringList reported;
        for (const SourceFailure& failure : failures) {
            reported << failure.source + ": " + failure.description;
            QVERIFY(log.contains(
                Level::warning, failure.source + " could not be read, listing the applications without it: " +
                                    failure.description));
        }
        QCOMPARE(reported, failed);
        QCOMPARE(names(applications), QStringList{"Any"});
    }

    // The bundles are read while the tables load: the load waits until the Info.plist has been
    // read (or ten seconds), then removes it; the record is built from what was read.
    void bundlesAreReadWhileTheTablesLoad()
    {
#ifndef Q_OS_LINUX
        QSKIP("watches the read through inotify");
#else
        const QString plist = bundle("Early", "com.example.early").build() + "/Contents/Info.plist";
        const int watch = inotify_init1(IN_CLOEXEC);
        QVERIFY(watch >= 0);
        QVERIFY(inotify_add_watch(watch, QFile::encodeName(plist).constData(), IN_CLOSE_NOWRITE) >= 0);
        bool readDuringLoad = false;
        m_brew->onLoadInstalledCasks = [&] {
            pollfd polled{watch, POLLIN, 0};
            readDuringLoad = ::poll(&polled, 1, 10000) == 1;
            QFile::remove(plist);
        };
        const QList<std::shared_ptr<Application>> applications = m_service->discoverApplications(kBothTools);
        ::close(watch);
        QVERIFY(readDuringLoad);
        QCOMPARE(names(applications), QStringList{"Early"});
#endif
    }

    // Reading early changes nothing of what fails: a failed load costs its source, the missing
    // folder the discovery.
    void missingFolderFailsBesideAFailedLoad()
    {
        QVERIFY(QDir(apps()).removeRecursively());
        m_brew->onLoadInstalledCasks = [] { throw NorvelleError::brewCommandFailed(); };
        try {
            m_service->discoverApplications(kBothTools);
            QFAIL("the missing folder must fail the discovery");
        } catch (const NorvelleError& error) {
            QCOMPARE(error.errorCase(), NorvelleError::Case::directoryNotFound);
        }
    }

    void logLines()
    {
        bundle("One", "com.example.one").build();
        LogCapture log;
        m_service->discoverApplications(kNoTools);
        const QStringList lines = norvelle::test::infoLines(log);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines.at(0), QStringLiteral("Skipping Homebrew cask loading - Homebrew not installed"));
        QCOMPARE(lines.at(1), QStringLiteral("Skipping MAS app loading - MAS CLI not installed"));
        const QRegularExpression timing(
            QStringLiteral("^(Parallel data loading|App discovery|Total discovery): \\d+\\.\\d\\ds$"));
        for (int i = 2; i < 5; ++i)
            QVERIFY2(timing.match(lines.at(i)).hasMatch(), qPrintable(lines.at(i)));
        QVERIFY(lines.at(2).startsWith("Parallel data loading: "));
        QVERIFY(lines.at(3).startsWith("App discovery: "));
        QVERIFY(lines.at(4).startsWith("Total discovery: "));
        QVERIFY(m_brew->calls().isEmpty());
        QVERIFY(m_mas->calls().isEmpty());
    }

    // Read and built in parts of many bundles: every bundle once, whichever part it falls in,
    // and each broken one reported once.
    void manyBundlesInParts_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("broken");
        QTest::newRow("one part") << 5 << QList<int>{0, 4};
        QTest::newRow("across part edges") << 70 << QList<int>{0, 31, 32, 63, 64, 69};
        QTest::newRow("many parts") << 300 << QList<int>{1, 100, 299};
    }

    void manyBundlesInParts()
    {
        QFETCH(int, count);
        QFETCH(QList<int>, broken);
        QStringList expected;
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("App %1").arg(i, 3, 10, QLatin1Char('0'));
            if (broken.contains(i)) {
                BundleBuilder(apps(), name).rawInfoPlist("not a property list").build();
            } else {
                bundle(name, QStringLiteral("com.example.app%1").arg(i)).build();
                expected << name;
            }
        }
        LogCapture log;
        QCOMPARE(names(m_service->discoverApplications(kNoTools)), expected);
        int warnings = 0;
        for (const auto& line : log.lines())
            warnings += line.second.startsWith(QStringLiteral("Skipping the application at ")) ? 1 : 0;
        QCOMPARE(warnings, broken.size());
    }

    void sortOrder_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("sorted");
        QTest::newRow("numbers by value") << QStringList{"App 10", "App 2"} << QStringList{"App 2", "App 10"};
        QTest::newRow("case-insensitive") << QStringList{"Banana", "apple"} << QStringList{"apple", "Banana"};
        QTest::newRow("equal names keep their order")
            << QStringList{"Same", "same", "Same", "Other"} << QStringList{"Other", "Same", "same", "Same"};
    }
    void sortOrder()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, sorted);
        QList<std::shared_ptr<Application>> applications;
        for (const QString& name : names)
            applications << Application::create(name, "com.example." + name, QUrl(), "1.0",
                                                Sources{Source::other});
        const QList<std::shared_ptr<Application>> before = applications;
        DiscoveryService::sortByName(applications, QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(TestDiscovery::names(applications), sorted);
        if (QTest::currentDataTag() == QLatin1String("equal names keep their order")) {
            QVERIFY(applications.at(1) == before.at(0));
            QVERIFY(applications.at(3) == before.at(2));
        }
    }
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
