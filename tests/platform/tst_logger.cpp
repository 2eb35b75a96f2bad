#include "platform/Logger.h"

#include "FakeClock.h"
#include "TestFiles.h"
#include "LogCapture.h"
#include "TempRoot.h"
#include "TempSettings.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace norvelle;
using namespace norvelle::test;

namespace {

const QString kSeparator = QString(48, u'=');

QString header(const QString& created)
{
    return "Norvelle Log File\nCreated: " + created + "\n" + kSeparator + "\n\n";
}

QString readAll(const QString& path)
{
    return QString::fromUtf8(readFile(path));
}

// Sends the process's standard output to a file while alive.
class StdoutCapture {
public:
    StdoutCapture()
    {
        m_file.open();
        std::fflush(stdout);
        m_saved = dup(STDOUT_FILENO);
        dup2(m_file.handle(), STDOUT_FILENO);
    }
    QByteArray finish()
    {
        std::fflush(stdout);
        dup2(m_saved, STDOUT_FILENO);
        close(m_saved);
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
};

} // namespace

class TestLogger : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempRoot> m_root;
    std::unique_ptr<TempSettings> m_settings;
    std::shared_ptr<FakeClock> m_clock;
    QString m_desktop;

    QStringList logFiles() const
    {
        return QDir(m_desktop).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }
    QString pathOf(const QString& name) const { return m_desktop + "/" + name; }

private Q_SLOTS:
    void initTestCase()
    {
        // A zone far from UTC shows that file names use local time and stamps use UTC.
        qputenv("TZ", "IST-5:30");
        tzset();
    }

    void init()
    {
        m_root = std::make_unique<TempRoot>();
        m_settings = std::make_unique<TempSettings>();
        m_clock = std::make_shared<FakeClock>(QDateTime(QDate(2025, 3, 14), QTime(9, 26, 53), Qt::UTC));
        const Paths paths = m_root->paths();
        m_desktop = m_root->makeDirectory("home/Desktop");
        Logger::setPaths(paths);
        Logger::setClock(m_clock);
        Logger::setSettings(&m_settings->store());
    }

    void cleanup()
    {
        Logger::setDesktopLogFilesEnabled(false);
        Logger::setSettings(nullptr);
        Logger::setClock(nullptr);
        m_settings.reset();
        m_root.reset();
    }

    void offWritesNoFile()
    {
        LogCapture capture;
        Logger::warning("disk full");
        QVERIFY(capture.contains(Logger::Level::warning, "disk full"));
        QCOMPARE(logFiles(), QStringList());
    }

    void switchingOnCreatesFileWithHeaderOnly()
    {
        QSignalSpy changed(&m_settings->store(), &SettingsStore::valueChanged);
        Logger::setDesktopLogFilesEnabled(true);
        QVERIFY(m_settings->store().desktopLogFilesEnabled());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toString(), "desktopLogFilesEnabled");
        // 09:26:53 UTC is 14:56:53 at UTC+5:30.
        QCOMPARE(logFiles(), QStringList{"NorvelleLogs-2025-03-14_14-56-53.txt"});
        QCOMPARE(readAll(pathOf(logFiles().first())), header("2025-03-14T09:26:53Z"));
    }

    void lines_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("line");
        QTest::newRow("warning") << int(Logger::Level::warning) << "disk full"
                                 << "[2025-03-14T09:26:55Z] [WARN] disk full\n";
        // [INFO] and [ERROR] are pinned by the tests further down.
        QTest::newRow("debug") << int(Logger::Level::debug) << "x"
                               << "[2025-03-14T09:26:55Z] [DEBUG] x\n";
        QTest::newRow("empty") << int(Logger::Level::info) << ""
                               << "[2025-03-14T09:26:55Z] [INFO] \n";
        QTest::newRow("multi-line kept") << int(Logger::Level::info) << "a\nb"
                                         << "[2025-03-14T09:26:55Z] [INFO] a\nb\n";
        QTest::newRow("unicode") << int(Logger::Level::info) << QStringLiteral(u"Zoë 😀")
                                 << QStringLiteral(u"[2025-03-14T09:26:55Z] [INFO] Zoë 😀\n");
    }
    void lines()
    {
        QFETCH(int, level);
        QFETCH(QString, message);
        QFETCH(QString, line);
        Logger::setDesktopLogFilesEnabled(true);
        m_clock->advance(2);
        Logger::log(message, Logger::Level(level));
        QCOMPARE(logFiles().size(), 1);
        QCOMPARE(readAll(pathOf(logFiles().first())), header("2025-03-14T09:26:53Z") + line);
    }

    // A line longer than the cap keeps its start and says how much was left out; a surrogate
    // pair is never cut in half.
    void longLinesAreCapped_data()
    {
        const qsizetype cap = Logger::maximumLineLength;
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("logged");
        QTest::newRow("at the cap") << QString(cap, u'a') << QString(cap, u'a');
        QTest::newRow("50 MB line") << QString(50 * 1024 * 1024, u'a')
                                    << QString(cap, u'a') + QStringLiteral("… (%1 more characters not logged)")
                                                                .arg(50 * 1024 * 1024 - cap);
        QTest::newRow("pair across the cap")
            << QString(cap - 1, u'a') + QStringLiteral(u"😀b")
            << QString(cap - 1, u'a') + QStringLiteral("… (3 more characters not logged)");
    }
    void longLinesAreCapped()
    {
        QFETCH(QString, message);
        QFETCH(QString, logged);
        LogCapture log;
        Logger::setDesktopLogFilesEnabled(true);
        Logger::info(message);
        QCOMPARE(log.lines().value(0).second, logged);
        QCOMPARE(readAll(pathOf(logFiles().first())),
                 header("2025-03-14T09:26:53Z") + "[2025-03-14T09:26:53Z] [INFO] " + logged + "\n");
    }

    void lineThatIsNotUtf16IsDropped()
    {
        Logger::setDesktopLogFilesEnabled(true);
        Logger::info(QString(QChar(0xD800)) + "x"); // lone surrogate: no lossless UTF-8 form
        Logger::info("ok");
        QCOMPARE(readAll(pathOf(logFiles().first())),
                 header("2025-03-14T09:26:53Z") + "[2025-03-14T09:26:53Z] [INFO] ok\n");
    }

    void switchingOnTwiceInOneSecondKeepsFirstFile()
    {
        Logger::setDesktopLogFilesEnabled(true);
        Logger::info("first");
        Logger::setDesktopLogFilesEnabled(true);
        Logger::info("second");
        QCOMPARE(logFiles().size(), 1);
        const QString h = header("2025-03-14T09:26:53Z");
        QCOMPARE(readAll(pathOf(logFiles().first())),
                 h + "[2025-03-14T09:26:53Z] [INFO] first\n" + h + "[2025-03-14T09:26:53Z] [INFO] second\n");
    }

    void offAndOnStartsNewFile()
    {
        Logger::setDesktopLogFilesEnabled(true);
        Logger::info("a");
        Logger::setDesktopLogFilesEnabled(false);
        QVERIFY(!m_settings->store().desktopLogFilesEnabled());
        m_clock->advance(5);
        Logger::info("while off");
        QCOMPARE(logFiles().size(), 1);
        m_clock->advance(5);
        Logger::setDesktopLogFilesEnabled(true);
        Logger::info("c");
        QCOMPARE(logFiles(), (QStringList{"NorvelleLogs-2025-03-14_14-56-53.txt",
                                          "NorvelleLogs-2025-03-14_14-57-03.txt"}));
        QCOMPARE(readAll(pathOf(logFiles().at(0))),
                 header("2025-03-14T09:26:53Z") + "[2025-03-14T09:26:53Z] [INFO] a\n");
        QCOMPARE(readAll(pathOf(logFiles().at(1))),
                 header("2025-03-14T09:27:03Z") + "[2025-03-14T09:27:03Z] [INFO] c\n");
    }

    void deletedFileIsRecreatedWithoutHeader()
    {
        Logger::setDesktopLogFilesEnabled(true);
        const QString path = pathOf(logFiles().first());
        QVERIFY(QFile::remove(path));
        m_clock->advance(1);
        Logger::info("after delete");
        QCOMPARE(readAll(path), "[2025-03-14T09:26:54Z] [INFO] after delete\n");
    }

    void launchWithKeyOnCreatesFileOnFirstMessage()
    {
        // As after a relaunch: the setting is on, no file is in use yet.
        m_settings->store().setDesktopLogFilesEnabled(true);
        QCOMPARE(logFiles(), QStringList());
        m_clock->advance(60);
        Logger::error("boom");
        QCOMPARE(logFiles(), QStringList{"NorvelleLogs-2025-03-14_14-57-53.txt"});
        QCOMPARE(readAll(pathOf(logFiles().first())),
                 header("2025-03-14T09:27:53Z") + "[2025-03-14T09:27:53Z] [ERROR] boom\n");
    }

    void lineRacingTheSwitchOffCreatesNoFile()
    {
        Logger::setDesktopLogFilesEnabled(true);
        const QStringList before = logFiles();
        m_clock->advance(10);
        // The sink runs after the message saw the switch on and before its file write, as another
        // thread switching off at that moment would.
        bool switched = false;
        const int handle = Logger::addSink([&](Logger::Level, const QString&) {
            if (!switched) {
                switched = true;
                Logger::setDesktopLogFilesEnabled(false);
            }
        });
        Logger::info("late");
        Logger::removeSink(handle);
        QVERIFY(switched);
        QCOMPARE(logFiles(), before);
        QVERIFY(!readAll(pathOf(before.first())).contains("late"));
    }

    void failedWriteIsReportedAndRetried()
    {
        Logger::setDesktopLogFilesEnabled(true);
        const QString path = pathOf(logFiles().first());
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path)); // something that cannot be appended to
        StdoutCapture out;
        Logger::info("lost");
        const QByteArray printed = out.finish();
        QVERIFY2(printed.startsWith("Failed to write to log file: "), printed.constData());
        QVERIFY(printed.endsWith('\n'));
        QVERIFY(QDir().rmdir(path));
        Logger::info("next");
        QCOMPARE(readAll(path), "[2025-03-14T09:26:53Z] [INFO] next\n");
    }

    void noDesktopFolderMeansNoFile()
    {
        Paths paths = m_root->paths();
        paths.desktopFolder.clear();
        Logger::setPaths(paths);
        StdoutCapture out;
        Logger::setDesktopLogFilesEnabled(true);
        Logger::info("nowhere");
        QCOMPARE(out.finish(), QByteArray());
        QCOMPARE(logFiles(), QStringList());
    }

    // A missing Desktop folder is made for the first file; one that cannot be made is reported
    // once, however many lines follow, and is tried again with each line, so lines reach the
    // file once it can be made.
    void desktopFolder_data()
    {
        QTest::addColumn<bool>("creatable");
        QTest::newRow("missing") << true;
        QTest::newRow("cannot be made") << false;
    }

    void desktopFolder()
    {
        QFETCH(bool, creatable);
        QVERIFY(QDir(m_desktop).removeRecursively());
        const QString blocker = m_root->filePath("not-a-folder");
        if (!creatable)
            m_desktop = m_root->writeFile("not-a-folder", "x") + "/Desktop";
        Paths paths = m_root->paths();
        paths.desktopFolder = m_desktop;
        Logger::setPaths(paths);
        StdoutCapture out;
        Logger::setDesktopLogFilesEnabled(true);
        for (int i = 0; i < 3; ++i)
            Logger::info(QStringLiteral("line %1").arg(i));
        QCOMPARE(logFiles().size(), creatable ? 1 : 0);
        if (!creatable) {
            QVERIFY(QFile::remove(blocker));
            Logger::info(QStringLiteral("line 3"));
            Logger::info(QStringLiteral("line 4"));
        }
        QCOMPARE(out.finish().count("Failed to write to log file"), creatable ? 0 : 1);
        QCOMPARE(logFiles().size(), 1);
        QCOMPARE(readAll(pathOf(logFiles().first())).count("[INFO] line "), creatable ? 3 : 2);
        QVERIFY(readAll(pathOf(logFiles().first())).startsWith(header("2025-03-14T09:26:53Z")));
    }

    void noSettingsMeansNoFile()
    {
        Logger::setSettings(nullptr);
        Logger::setDesktopLogFilesEnabled(true);
        Logger::info("x");
        QCOMPARE(logFiles(), QStringList());
        Logger::setSettings(&m_settings->store());
    }

    void concurrentLinesStayWhole()
    {
        Logger::setDesktopLogFilesEnabled(true);
        constexpr int threads = 8;
        constexpr int perThread = 50;
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([t] {
                for (int i = 0; i < perThread; ++i)
                    Logger::info(
                        QStringLiteral("thread %1 message %2 %3").arg(t).arg(i).arg(QString(40, u'x')));
            });
        }
        for (auto& w : workers)
            w.join();
        const QString content = readAll(pathOf(logFiles().first()));
        QVERIFY(content.startsWith(header("2025-03-14T09:26:53Z")));
        const QStringList lines =
            content.mid(header("2025-03-14T09:26:53Z").size()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), threads * perThread);
        const QRegularExpression shape(
            "^\\[2025-03-14T09:26:53Z\\] \\[INFO\\] thread \\d message \\d+ x{40}$");
        QSet<QString> unique;
        for (const QString& line : lines) {
            QVERIFY2(shape.match(line).hasMatch(), qPrintable(line));
            unique.insert(line);
        }
        QCOMPARE(unique.size(), threads * perThread);
    }

    // A sink may capture an object that dies right after removeSink: a call that started on
    // another thread before the removal must have ended by the time removeSink returns.
    void removeSinkWaitsForRunningCall()
    {
        std::mutex mutex;
        std::condition_variable changed;
        bool entered = false;
        bool removing = false;
        std::atomic<bool> done = false;
        const int handle = Logger::addSink([&](Logger::Level, const QString& message) {
            if (message != u"slow sink")
                return;
            std::unique_lock lock(mutex);
            entered = true;
            changed.notify_all();
            changed.wait(lock, [&] { return removing; });
            // Long enough for a removal that does not wait to return first.
            changed.wait_for(lock, std::chrono::milliseconds(200));
            done = true;
        });
        std::thread logger([] { Logger::info(QStringLiteral("slow sink")); });
        {
            std::unique_lock lock(mutex);
            QVERIFY(changed.wait_for(lock, std::chrono::seconds(20), [&] { return entered; }));
            removing = true;
            changed.notify_all();
        }
        Logger::removeSink(handle);
        const bool finishedBeforeReturn = done;
        logger.join();
        QVERIFY(finishedBeforeReturn);
    }
};

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
