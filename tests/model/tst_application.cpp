#include "model/Application.h"

#include <QTest>
#include <functional>
#include <thread>

using namespace norvelle;
using Field = Application::Field;
using Source = Application::Source;
using Mutation = std::function<void(Application&)>;
Q_DECLARE_METATYPE(Mutation)

namespace {

Update makeUpdate(const QString& latestVersion)
{
    return Update{latestVersion,
                  QStringLiteral("Notes"),
                  QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC),
                  Update::Source::homebrew,
                  Update::Status::available,
                  std::nullopt,
                  std::nullopt,
                  std::nullopt,
                  std::nullopt};
}

Cask makeCask()
{
    return Cask{QStringLiteral("firefox"),
                QStringLiteral("1.0"),
                QStringLiteral("1.1"),
                std::nullopt,
                QUrl(QStringLiteral("https://example.org")),
                {QStringLiteral("a"), QStringLiteral("b")},
                true,
                false,
                false,
                {QStringLiteral("Firefox.app")},
                false,
                false};
}

MAS makeMas()
{
    return MAS{QStringLiteral("123"), QStringLiteral("2.0"), QStringLiteral("1.0"), QStringLiteral("com.x"),
               10};
}

SparkleInfo makeSparkle(const QString& feed = QStringLiteral("https://example.org/appcast.xml"))
{
    return SparkleInfo{QUrl(feed), std::nullopt, std::nullopt, true};
}

std::shared_ptr<Application> makeApplication(const QString& version = QStringLiteral("1.5,100"))
{
    return Application::create(QStringLiteral("Firefox"), QStringLiteral("org.mozilla.firefox"),
                               QUrl::fromLocalFile(QStringLiteral("/Applications/Firefox.app")), version,
                               QList<Source>{Source::homebrew, Source::sparkle},
                               makeUpdate(QStringLiteral("1.6")), makeCask(), makeMas(), makeSparkle());
}

} // namespace

class TestApplication : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void displayVersions_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<bool>("hasUpdate");
        QTest::addColumn<QString>("latest");
        QTest::addColumn<QString>("expectedCurrent");
        QTest::addColumn<QString>("expectedLatest");
        // clang-format off
        QTest::newRow("same base") << "1.5,100" << true << "1.5,120" << "1.5 (100)" << "1.5 (120)";
        QTest::newRow("different base") << "1.4,90" << true << "1.5,120" << "1.4" << "1.5";
        QTest::newRow("current without build") << "1.5" << true << "1.5,120" << "1.5" << "1.5 (120)";
        QTest::newRow("latest without build") << "1.5,100" << true << "1.5" << "1.5 (100)" << "1.5";
        QTest::newRow("no update") << "1.5,100" << false << "" << "1.5" << "";
        QTest::newRow("three pieces, one piece") << "1.2.3,4,5" << true << "2.0" << "1.2.3,4,5" << "2.0";
        QTest::newRow("latest only commas") << "1.5,100" << true << ",,," << "1.5" << ",,,";
        QTest::newRow("empty pieces") << "1.2,,300" << true << "1.2,400" << "1.2 (300)" << "1.2 (400)";
        QTest::newRow("leading comma is one piece") << ",5" << true << "5" << ",5" << "5";
        QTest::newRow("empty current") << "" << true << "1.0,1" << "" << "1.0";
        // clang-format on
    }
    void displayVersions()
    {
        QFETCH(QString, current);
        QFETCH(bool, hasUpdate);
        QFETCH(QString, latest);
        QFETCH(QString, expectedCurrent);
        QFETCH(QString, expectedLatest);
        const auto app = makeApplication(current);
        app->setUpdate(hasUpdate ? std::optional<Update>(makeUpdate(latest)) : std::nullopt);
        QCOMPARE(app->displayCurrentVersion(), expectedCurrent);
        QCOMPARE(app->displayLatestVersion().has_value(), hasUpdate);
        QCOMPARE(app->displayLatestVersion().value_or(QString()), expectedLatest);
        const Application::Snapshot snapshot = app->snapshot();
        QCOMPARE(snapshot.displayCurrentVersion(), expectedCurrent);
        QCOMPARE(snapshot.displayLatestVersion(), app->displayLatestVersion());
    }

    void notifiesOnlyOnChange_data()
    {
        QTest::addColumn<Mutation>("mutation");
        QTest::addColumn<QList<int>>("expected");
        auto row = [](const char* name, QList<int> fields, Mutation m) {
            QTest::newRow(name) << m << fields;
        };
        const QList<int> none;
        row("same version", none, [](Application& a) { a.setCurrentVersion(QStringLiteral("1.5,100")); });
        row("new version", {int(Field::currentVersion)},
            [](Application& a) { a.setCurrentVersion(QStringLiteral("1.5,101")); });
        row("same ignored", none, [](Application& a) { a.setIgnored(false); });
        row("ignored", {int(Field::ignored)}, [](Application& a) { a.setIgnored(true); });
        row("skip absent again", none, [](Application& a) { a.setSkippedVersion(std::nullopt); });
        row("skip empty text", {int(Field::skippedVersion)},
            [](Application& a) { a.setSkippedVersion(QString()); });
        row("equal sources", none, [](Application& a) { a.setSource({Source::homebrew, Source::sparkle}); });
        row("reordered sources", {int(Field::source)}, [](Application& a) {
            a.setSource({Source::sparkle, Source::homebrew});
        });
        row("one more source", {int(Field::source)}, [](Application& a) {
            a.setSource({Source::homebrew, Source::sparkle, Source::sparkle});
        });
        row("equal update", none, [](Application& a) { a.setUpdate(makeUpdate(QStringLiteral("1.6"))); });
        row("update error only", {int(Field::update)}, [](Application& a) {
            Update u = makeUpdate(QStringLiteral("1.6"));
            u.lastUpdateError = QStringLiteral("Failed");
            a.setUpdate(u);
        });
        row("update removed", {int(Field::update)}, [](Application& a) { a.setUpdate(std::nullopt); });
        row("equal cask", none, [](Application& a) { a.setCask(makeCask()); });
        row("cask warnings swapped", {int(Field::cask)}, [](Application& a) {
            Cask c = makeCask();
            c.warnings = {QStringLiteral("b"), QStringLiteral("a")};
            a.setCask(c);
        });
        row("equal mas", none, [](Application& a) { a.setMas(makeMas()); });
        row("mas size absent", {int(Field::mas)}, [](Application& a) {
            MAS m = makeMas();
            m.fileSizeBytes.reset();
            a.setMas(m);
        });
        row("equal sparkle", none, [](Application& a) { a.setSparkleInfo(makeSparkle()); });
        row("sparkle feed", {int(Field::sparkleInfo)},
            [](Application& a) { a.setSparkleInfo(makeSparkle(QStringLiteral("https://x.org/a"))); });
        row("several writes", {int(Field::ignored), int(Field::skippedVersion), int(Field::ignored)},
            [](Application& a) {
                a.setIgnored(true);
                a.setIgnored(true);
                a.setSkippedVersion(QStringLiteral("1.6"));
                a.setIgnored(false);
            });
    }
    void notifiesOnlyOnChange()
    {
        QFETCH(Mutation, mutation);
        QFETCH(QList<int>, expected);
        const auto app = makeApplication();
        QList<int> seen;
        const auto token = app->addObserver([&](Field f) { seen.append(int(f)); });
        mutation(*app);
        QCOMPARE(seen, expected);
    }

    void identity()
    {
        const auto a = makeApplication();
        const auto b = makeApplication();
        QVERIFY(!(*a == *b));
        QVERIFY(a->id() != b->id());
        const QUuid before = a->id();
        a->setCurrentVersion(QStringLiteral("9"));
        a->setIgnored(true);
        a->setSource({});
        a->setUpdate(std::nullopt);
        QCOMPARE(a->id(), before);
        QVERIFY(*a == *a);

        const auto twin = Application::create(a->id(), QStringLiteral("Other"), QString(), QUrl(), QString(),
                                              QList<Source>{});
        QVERIFY(*a == *twin);
        QCOMPARE(qHash(*a, 7), qHash(*twin, 7));
        QCOMPARE(std::hash<Application>()(*a), std::hash<Application>()(*twin));
        QVERIFY(sameApplication(a, twin));
        QVERIFY(!sameApplication(a, b));
        QVERIFY(!sameApplication(a, nullptr));
        QVERIFY(sameApplication(nullptr, nullptr));
        QVERIFY(sameApplications({a, b}, {twin, b}));
        QVERIFY(!sameApplications({a, b}, {b, a}));
        QVERIFY(!sameApplications({a}, {a, b}));
    }

    void tokenUnregisters()
    {
        const auto app = makeApplication();
        int first = 0;
        int second = 0;
        Application::ObserverToken kept;
        {
            auto token = app->addObserver([&](Field) { ++first; });
            kept = std::move(token);
        }
        auto other = app->addObserver([&](Field) { ++second; });
        app->setIgnored(true);
        QCOMPARE(first, 1);
        QCOMPARE(second, 1);

        other = Application::ObserverToken(); // assigning over an active token unregisters it
        app->setIgnored(false);
        QCOMPARE(first, 2);
        QCOMPARE(second, 1);

        kept.reset();
        QVERIFY(!kept.isActive());
        app->setIgnored(true);
        QCOMPARE(first, 2);
    }

    void tokenOutlivesApplication()
    {
        auto app = makeApplication();
        auto token = app->addObserver([](Field) {});
        app.reset();
        QVERIFY(token.isActive());
        token.reset(); // must not touch the destroyed application
        QVERIFY(!token.isActive());
    }

    void observerMayUseApplication()
    {
        const auto app = makeApplication();
        QString readVersion;
        QString readDisplay;
        int calls = 0;
        Application::ObserverToken late;
        Application::ObserverToken self;
        self = app->addObserver([&](Field f) {
            ++calls;
            readVersion = app->currentVersion();
            readDisplay = app->snapshot().displayCurrentVersion();
            if (f == Field::currentVersion) {
                app->setIgnored(true);                            // a nested write notifies too
                late = app->addObserver([&](Field) { ++calls; }); // the registry is not locked either
                self.reset();                                     // removing oneself inside the call
            }
        });
        app->setCurrentVersion(QStringLiteral("1.6,7"));
        QCOMPARE(readVersion, QStringLiteral("1.6,7"));
        QCOMPARE(readDisplay, QStringLiteral("1.6 (7)")); // the update offers 1.6
        QCOMPARE(calls, 2);                               // the outer and the nested notification of self
        app->setIgnored(false);
        QCOMPARE(calls, 3); // only the late observer remains
    }

    void notifiesOnSetterThread()
    {
        const auto app = makeApplication();
        std::thread::id seen;
        const auto token = app->addObserver([&](Field) { seen = std::this_thread::get_id(); });
        std::thread::id writer;
        std::thread thread([&] {
            writer = std::this_thread::get_id();
            app->setIgnored(true);
        });
        thread.join();
        QCOMPARE(seen, writer);
    }
};

QTEST_GUILESS_MAIN(TestApplication)
#include "tst_application.moc"
