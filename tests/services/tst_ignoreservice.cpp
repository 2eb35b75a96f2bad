#include "FileSizeLimit.h"
#include "TestFiles.h"
#include "LogCapture.h"
#include "model/Application.h"
#include "services/IgnoreService.h"
#include "util/Error.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <thread>

using namespace norvelle;
using norvelle::test::LogCapture;
using norvelle::test::entriesIn;
using norvelle::test::FileSizeLimit;
using norvelle::test::readFile;
using Data = IgnoreService::StoredIgnoreData;
using Level = Logger::Level;

class TestIgnoreService : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_root;
    QString m_folder;

    QString storage() const { return m_folder + QStringLiteral("/ignored.json"); }

    void writeFile(const QString& path, const QByteArray& bytes)
    {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // One of the four mutators, by number, on entries the tests' files hold.
    static void mutate(IgnoreService& service, int mutator)
    {
        switch (mutator) {
        case 0:
            return service.ignoreApp("z");
        case 1:
            return service.unignoreApp("a");
        case 2:
            return service.ignoreVersion("a", "9.9");
        default:
            return service.unignoreVersion("b");
        }
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_root.isValid());
        // A fresh, not yet existing support folder (with a missing parent) per test.
        m_folder = m_root.filePath(QStringLiteral("%1-%2/Library/Application Support/Norvelle")
                                       .arg(QString::fromLatin1(QTest::currentTestFunction()),
                                            QString::fromLatin1(QTest::currentDataTag())));
    }

    void encodeDecodeRoundTrip_data()
    {
        QTest::addColumn<QStringList>("apps");
        QTest::addColumn<QStringList>("versionPairs");
        QTest::newRow("empty") << QStringList{} << QStringList{};
        QTest::newRow("one app") << QStringList{"com.a"} << QStringList{};
        QTest::newRow("both lists") << QStringList{"com.a", "org.b.c"}
                                    << QStringList{"com.a", "2.0,45", "x.y", "1"};
        QTest::newRow("non-ascii") << QStringList{"de.grün"} << QStringList{"de.grün", "1.0 «beta»"};
    }
    void encodeDecodeRoundTrip()
    {
        QFETCH(QStringList, apps);
        QFETCH(QStringList, versionPairs);
        Data data;
        data.ignoredApps = QSet<QString>(apps.cbegin(), apps.cend());
        for (qsizetype i = 0; i + 1 < versionPairs.size(); i += 2) {
            data.ignoredVersions.insert(versionPairs.at(i), versionPairs.at(i + 1));
        }
        const QByteArray bytes = data.encode();
        QVERIFY(!bytes.contains('\n'));
        QVERIFY(bytes.startsWith("{\"ignoredApps\":["));
        QVERIFY(bytes.indexOf("\"ignoredVersions\":{") > bytes.indexOf("\"ignoredApps\""));
        const Data back = Data::decode(bytes);
        QCOMPARE(back.ignoredApps, data.ignoredApps);
        QCOMPARE(back.ignoredVersions, data.ignoredVersions);
    }

    void decodeRejects_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("not json") << QByteArray("ignoredApps");
        QTest::newRow("truncated") << QByteArray(R"({"ignoredApps":["a"],"ignoredVersions":{)");
        QTest::newRow("top-level array") << QByteArray(R"([["a"],{}])");
        QTest::newRow("versions missing") << QByteArray(R"({"ignoredApps":["a"]})");
        QTest::newRow("apps missing") << QByteArray(R"({"ignoredVersions":{}})");
        QTest::newRow("apps null") << QByteArray(R"({"ignoredApps":null,"ignoredVersions":{}})");
        QTest::newRow("apps element number") << QByteArray(R"({"ignoredApps":["a",1],"ignoredVersions":{}})");
        QTest::newRow("versions array") << QByteArray(R"({"ignoredApps":[],"ignoredVersions":[]})");
        QTest::newRow("version number") << QByteArray(R"({"ignoredApps":[],"ignoredVersions":{"a":2}})");
        QTest::newRow("bad utf-8") << QByteArray("{\"ignoredApps\":[\"\xff\"],\"ignoredVersions\":{}}");
    }
    void decodeRejects()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY_THROWS_EXCEPTION(Error, Data::decode(bytes));
    }

    void firstStartCreatesFolderAndFileOnFirstChange()
    {
        LogCapture log;
        IgnoreService service(m_folder);
        service.waitForStartup();
        QVERIFY(QFileInfo(m_folder).isDir());
        QVERIFY(service.isLoaded());
        QVERIFY(log.contains(Level::info, "No ignored items file found - starting fresh"));
        QVERIFY(!QFile::exists(storage()));

        service.ignoreApp("com.example.one");
        QCOMPARE(readFile(storage()),
                 QByteArray(R"({"ignoredApps":["com.example.one"],"ignoredVersions":{}})"));
        QVERIFY(log.contains(Level::info, "Saving ignored items to disk"));
        QVERIFY(log.contains(Level::info, "Saved 1 ignored apps and 0 ignored versions"));
        QVERIFY(log.contains(Level::info, "Ignored application: com.example.one"));
    }

    void loadsExistingFileIgnoringExtrasAndDuplicates()
    {
        writeFile(storage(), R"({"extra":1,"ignoredVersions":{"c":"3.0"},"ignoredApps":["a","b","a"]})");
        LogCapture log;
        IgnoreService service(m_folder);
        service.waitForStartup();
        QCOMPARE(service.ignoredApps(), (QSet<QString>{"a", "b"}));
        QCOMPARE(service.ignoredVersions().value("c"), QStringLiteral("3.0"));
        QVERIFY(log.contains(Level::info, "Loaded 2 ignored apps and 1 ignored versions"));
    }

    void corruptFileIsMovedAsideNotDeleted_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("garbage") << QByteArray("\x00\x01not json", 10);
        QTest::newRow("versions missing") << QByteArray(R"({"ignoredApps":["keep.me"]})");
    }
    void corruptFileIsMovedAsideNotDeleted()
    {
        QFETCH(QByteArray, bytes);
        writeFile(storage(), bytes);
        writeFile(storage() + ".corrupt", "an older corrupt copy");
        LogCapture log;
        IgnoreService service(m_folder);
        service.waitForStartup();

        QVERIFY(log.containsPrefix(Level::warning,
                                   "Failed to decode ignored items (possibly incompatible format): "));
        QVERIFY(log.contains(Level::info, "Deleting corrupted ignored items file and starting fresh"));
        QVERIFY(!QFile::exists(storage()));
        QCOMPARE(readFile(storage() + ".corrupt"), QByteArray("an older corrupt copy"));
        QCOMPARE(readFile(storage() + ".corrupt.1"), bytes);
        QVERIFY(service.ignoredApps().isEmpty());
        QVERIFY(service.isLoaded());

        service.ignoreVersion("x", "1.0");
        QCOMPARE(Data::decode(readFile(storage())).ignoredVersions.value("x"), QStringLiteral("1.0"));
        QCOMPARE(readFile(storage() + ".corrupt.1"), bytes);
    }

    void unreadableFileIsLeftInPlaceAndNeverOverwritten()
    {
        // A directory where the file should be: it exists but cannot be read.
        QVERIFY(QDir().mkpath(storage()));
        writeFile(storage() + "/inside", "user data");
        LogCapture log;
        IgnoreService service(m_folder);
        service.waitForStartup();

        QVERIFY(log.containsPrefix(Level::warning, "Failed to read ignored items: "));
        QVERIFY(!log.contains(Level::info, "Deleting corrupted ignored items file and starting fresh"));
        QVERIFY(service.isLoaded());
        QVERIFY(service.ignoredApps().isEmpty());
        QVERIFY_THROWS_EXCEPTION(Error, service.ignoreApp("a"));
        QVERIFY(service.ignoredApps().isEmpty());
        QCOMPARE(readFile(storage() + "/inside"), QByteArray("user data"));
        QVERIFY(!log.contains(Level::info, "Ignored application: a"));
    }

    // Tried again on every use, but the same failure is reported only once.
    void unreadableFileIsReportedOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("directory") << "directory";
        QTest::newRow("fifo without a writer") << "fifo";
    }
    void unreadableFileIsReportedOnce()
    {
        QFETCH(QString, kind);
        QVERIFY(QDir().mkpath(kind == "directory" ? storage() : m_folder));
        if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(storage()).constData(), 0600), 0);
        LogCapture log;
        IgnoreService service(m_folder);
        service.waitForStartup();
        for (int i = 0; i < 3; ++i) {
            service.applyIgnoreState({});
            QVERIFY_THROWS_EXCEPTION(Error, service.ignoreApp("a"));
        }
        QCOMPARE(log.count(Level::warning, "Left the unreadable ignored items file in place: " + storage()), 1);
        QVERIFY(!log.contains(Level::info, "Deleting corrupted ignored items file and starting fresh"));
        QVERIFY(QFileInfo(storage()).exists());
    }

    // The disk fills up before the writers' lock is made, or after, while the list is saved.
    void fullDiskKeepsFileAndMemory_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("app");
        QTest::newRow("no room for the lock") << 8 << "b";
        QTest::newRow("no room for the list") << 300 << QString(400, u'b');
    }
    void fullDiskKeepsFileAndMemory()
    {
        QFETCH(int, limit);
        QFETCH(QString, app);
        const QByteArray original = R"({"ignoredApps":["a"],"ignoredVersions":{}})";
        writeFile(storage(), original);
        IgnoreService service(m_folder);
        service.waitForStartup();
        LogCapture log;
        {
            const FileSizeLimit fullDisk(static_cast<rlim_t>(limit));
            QVERIFY_THROWS_EXCEPTION(Error, service.ignoreApp(app));
        }
        QCOMPARE(readFile(storage()), original);
        QCOMPARE(service.ignoredApps(), QSet<QString>{"a"});
        QVERIFY(!log.containsPrefix(Level::info, "Saved "));
        QVERIFY(log.containsPrefix(Level::error, "Failed to save ignored items: "));
        QCOMPARE(entriesIn(m_folder), QStringList{"ignored.json"});
    }

    void unreadableFileIsReadAgainOnceReadable()
    {
        QVERIFY(QDir().mkpath(storage()));
        IgnoreService service(m_folder);
        service.waitForStartup();
        QVERIFY(QDir(storage()).removeRecursively());
        writeFile(storage(), R"({"ignoredApps":["old"],"ignoredVersions":{}})");

        service.ignoreApp("new");
        QCOMPARE(service.ignoredApps(), (QSet<QString>{"old", "new"}));
        QCOMPARE(Data::decode(readFile(storage())).ignoredApps, (QSet<QString>{"old", "new"}));
    }

    void failedSaveRestoresMemoryAndFile_data()
    {
        QTest::addColumn<int>("mutator");
        for (int i = 0; i < 4; ++i) {
            QTest::newRow(QByteArray::number(i).constData()) << i;
        }
    }
    void failedSaveRestoresMemoryAndFile()
    {
        QFETCH(int, mutator);
        const QByteArray original = R"({"ignoredApps":["a"],"ignoredVersions":{"a":"1.0","b":"2.0"}})";
        writeFile(storage(), original);
        LogCapture log;
        IgnoreService service(m_folder);
        service.waitForStartup();
        QCOMPARE(service.ignoredApps().size(), 1);
        // The folder is replaced by a plain file, so it can be neither created nor written.
        QVERIFY(QDir(m_folder).removeRecursively());
        writeFile(m_folder, "not a folder");
        const QSet<QString> apps = service.ignoredApps();
        const QMap<QString, QString> versions = service.ignoredVersions();

        QVERIFY_THROWS_EXCEPTION(Error, mutate(service, mutator));
        QCOMPARE(service.ignoredApps(), apps);
        QCOMPARE(service.ignoredVersions(), versions);
        QCOMPARE(readFile(m_folder), QByteArray("not a folder"));
        QVERIFY(!log.containsPrefix(Level::info, "Saved "));
    }

    // Another writer changed the file after it was read here: the change made here applies to
    // what the file holds now, and the lists are then what was written.
    void anotherWritersChangeIsKept_data()
    {
        QTest::addColumn<QByteArray>("other"); // the file as the other writer left it; empty: deleted
        QTest::addColumn<int>("mutator");
        QTest::addColumn<QStringList>("apps");
        QTest::addColumn<QStringList>("versionPairs");
        QTest::newRow("it ignored an app")
            << QByteArray(R"({"ignoredApps":["a","x"],"ignoredVersions":{"b":"2.0"}})") << 0
            << QStringList{"a", "x", "z"} << QStringList{"b", "2.0"};
        QTest::newRow("it unignored an app")
            << QByteArray(R"({"ignoredApps":[],"ignoredVersions":{"b":"2.0"}})") << 2 << QStringList{}
            << QStringList{"a", "9.9", "b", "2.0"};
        QTest::newRow("it skipped a version")
            << QByteArray(R"({"ignoredApps":["a"],"ignoredVersions":{"b":"2.0","y":"9"}})") << 3
            << QStringList{"a"} << QStringList{"y", "9"};
        QTest::newRow("it deleted the list") << QByteArray() << 1 << QStringList{} << QStringList{};
        QTest::newRow("it left a lock and died")
            << QByteArray(R"({"ignoredApps":["a","x"],"ignoredVersions":{"b":"2.0"}})") << 0
            << QStringList{"a", "x", "z"} << QStringList{"b", "2.0"};
        // A second instance on the file ignores x0…x39 while this one writes, at the same moments.
        QStringList together{"a", "z"};
        for (int i = 0; i < 40; ++i)
            together.append(QStringLiteral("x%1").arg(i));
        QTest::newRow("it writes at the same moment")
            << QByteArray(R"({"ignoredApps":["a"],"ignoredVersions":{"b":"2.0"}})") << 0 << together
            << QStringList{"b", "2.0"};
    }
    void anotherWritersChangeIsKept()
    {
        QFETCH(QByteArray, other);
        QFETCH(int, mutator);
        QFETCH(QStringList, apps);
        QFETCH(QStringList, versionPairs);
        writeFile(storage(), R"({"ignoredApps":["a"],"ignoredVersions":{"b":"2.0"}})");
        IgnoreService service(m_folder);
        service.waitForStartup();
        if (other.isEmpty())
            QVERIFY(QFile::remove(storage()));
        else
            writeFile(storage(), other);
        if (QByteArray(QTest::currentDataTag()).contains("lock"))
            QVERIFY(test::writeStaleLock(storage() + ".lock"));

        if (QByteArray(QTest::currentDataTag()).contains("same moment")) {
            std::thread second([this] {
                IgnoreService writer(m_folder);
                writer.waitForStartup();
                for (int i = 0; i < 40; ++i)
                    writer.ignoreApp(QStringLiteral("x%1").arg(i));
            });
            for (int i = 0; i < 40; ++i)
                mutate(service, mutator);
            second.join();
        }
        mutate(service, mutator);
        QMap<QString, QString> versions;
        for (qsizetype i = 0; i + 1 < versionPairs.size(); i += 2)
            versions.insert(versionPairs.at(i), versionPairs.at(i + 1));
        const Data written = Data::decode(readFile(storage()));
        QCOMPARE(written.ignoredApps, QSet<QString>(apps.cbegin(), apps.cend()));
        QCOMPARE(written.ignoredVersions, versions);
        QCOMPARE(service.ignoredApps(), written.ignoredApps);
        QCOMPARE(service.ignoredVersions(), written.ignoredVersions);
        QCOMPARE(entriesIn(m_folder), QStringList{"ignored.json"});
    }

    void mutatorRules()
    {
        LogCapture log;
        IgnoreService service(m_folder);
        service.ignoreApp("a");
        service.ignoreApp("a");
        QCOMPARE(log.count(Level::info, "Ignored application: a"), 2);
        QCOMPARE(log.count(Level::info, "Saving ignored items to disk"), 2);
        QCOMPARE(service.ignoredApps(), QSet<QString>{"a"});

        service.ignoreVersion("a", "1.0");
        service.ignoreVersion("a", "2.0");
        QCOMPARE(service.ignoredVersions().value("a"), QStringLiteral("2.0"));
        QVERIFY(log.contains(Level::info, "Ignored version 2.0 for a"));

        service.ignoreVersion("b", "3.0");
        service.unignoreVersion("b");
        QVERIFY(!service.ignoredVersions().contains("b"));
        QVERIFY(log.contains(Level::info, "Unignored version for b"));

        service.unignoreApp("a");
        QVERIFY(service.ignoredApps().isEmpty());
        QVERIFY(service.ignoredVersions().isEmpty());
        QVERIFY(log.contains(Level::info, "Unignored application: a"));
        QCOMPARE(readFile(storage()), QByteArray(R"({"ignoredApps":[],"ignoredVersions":{}})"));
    }

    void applyIgnoreState_data()
    {
        QTest::addColumn<bool>("listedIgnored");
        QTest::addColumn<QString>("skipped"); // empty: none
        QTest::addColumn<QString>("offered"); // empty: no update
        QTest::addColumn<int>("cask");        // -1 none, 0 not adoptable, 1 adoptable
        QTest::addColumn<bool>("keepsUpdate");
        QTest::addColumn<int>("caskAfter");
        auto row = [](const char* name, bool listedIgnored, const QString& skipped, const QString& offered,
                      int cask, bool keepsUpdate, int caskAfter) {
            QTest::newRow(name) << listedIgnored << skipped << offered << cask << keepsUpdate << caskAfter;
        };
        row("plain app keeps everything", false, "", "2.0", 1, true, 1);
        row("ignored loses update and adoptability", true, "", "2.0", 1, false, 0);
        row("ignored without cask", true, "", "2.0", -1, false, -1);
        row("ignored and skipped", true, "3.0", "2.0", 0, false, 0);
        row("skipped version offered", false, "2.0", "2.0", 1, false, 1);
        row("other version offered", false, "2.0", "2.1", -1, true, -1);
        row("skip compares exactly", false, "2.0", "2.0.0", -1, true, -1);
        row("skipped, no update", false, "2.0", "", -1, false, -1);
    }
    void applyIgnoreState()
    {
        QFETCH(bool, listedIgnored);
        QFETCH(QString, skipped);
        QFETCH(QString, offered);
        QFETCH(int, cask);
        QFETCH(bool, keepsUpdate);
        QFETCH(int, caskAfter);

        Data stored;
        if (listedIgnored) {
            stored.ignoredApps.insert("com.example.app");
        }
        if (!skipped.isEmpty()) {
            stored.ignoredVersions.insert("com.example.app", skipped);
        }
        writeFile(storage(), stored.encode());

        std::optional<Update> update;
        if (!offered.isEmpty()) {
            update = Update{};
            update->latestVersion = offered;
        }
        std::optional<Cask> caskValue;
        if (cask >= 0) {
            caskValue = Cask{};
            caskValue->caskName = "app";
            caskValue->homepage = QUrl("https://example.com");
            caskValue->adoptable = cask == 1;
        }
        auto app =
            Application::create(QStringLiteral("App"), QStringLiteral("com.example.app"),
                                QUrl::fromLocalFile("/Applications/App.app"), QStringLiteral("1.0"),
                                QList<Application::Source>{Application::Source::homebrew}, update, caskValue);
        auto other =
            Application::create(QStringLiteral("Other"), QStringLiteral("com.example.other"),
                                QUrl::fromLocalFile("/Applications/Other.app"), QStringLiteral("1.0"),
                                QList<Application::Source>{}, update, caskValue);
        QList<Application::Field> changes;
        auto token = app->addObserver([&](Application::Field field) { changes.append(field); });

        IgnoreService service(m_folder);
        const QList<std::shared_ptr<Application>> result = service.applyIgnoreState({app, other});
        QCOMPARE(result.size(), 2);
        QCOMPARE(result.at(0), app);
        QCOMPARE(result.at(1), other);

        QCOMPARE(app->ignored(), listedIgnored);
        QCOMPARE(app->skippedVersion(), skipped.isEmpty() ? std::nullopt : std::optional<QString>(skipped));
        QCOMPARE(app->update().has_value(), keepsUpdate);
        QCOMPARE(app->cask().has_value(), caskAfter >= 0);
        if (caskAfter >= 0) {
            QCOMPARE(app->cask()->adoptable, caskAfter == 1);
            QCOMPARE(app->cask()->homepage, caskValue->homepage);
        }
        // Setters tell observers only about real changes: an unchanged cask stays silent.
        QCOMPARE(changes.count(Application::Field::cask), caskValue == app->cask() ? 0 : 1);
        // An application on neither list is left as it was.
        QCOMPARE(other->ignored(), false);
        QCOMPARE(other->update(), update);
        QCOMPARE(other->cask(), caskValue);
    }

    void applyIgnoreStateOnEmptyListLoadsFirst()
    {
        writeFile(storage(), R"({"ignoredApps":["a"],"ignoredVersions":{}})");
        IgnoreService service(m_folder);
        QVERIFY(service.applyIgnoreState({}).isEmpty());
        QVERIFY(service.isLoaded());
        QCOMPARE(service.ignoredApps(), QSet<QString>{"a"});
    }

    void startupFolderFailureIsLogged()
    {
        writeFile(m_root.filePath("blocker"), "file");
        LogCapture log;
        IgnoreService service(m_root.filePath("blocker/Norvelle"));
        service.waitForStartup();
        QVERIFY(log.containsPrefix(Level::warning, "Failed to create support folder: "));
        QVERIFY(service.isLoaded());
        QVERIFY_THROWS_EXCEPTION(Error, service.ignoreApp("a"));
        QVERIFY(service.ignoredApps().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestIgnoreService)
#include "tst_ignoreservice.moc"
