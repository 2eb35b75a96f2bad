#include "sources/ToolRunner.h"

#include "model/NorvelleError.h"
#include "platform/process/ProcessLaunchError.h"
#include "util/TaskGroup.h"

#include "ErrorCaseOf.h"
#include "FakeTool.h"
#include "LogCapture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <signal.h>
#include <sys/resource.h>

using namespace norvelle;
using norvelle::test::descriptionOf;
using norvelle::test::errorCaseOf;
using norvelle::test::FakeTool;
using norvelle::test::LogCapture;
using namespace std::chrono_literals;
using Family = ToolRunner::Family;

using Lines = QList<QPair<QString, double>>;
Q_DECLARE_METATYPE(norvelle::ToolRunner::Family)

namespace {

QStringList linesAt(const LogCapture& log, Logger::Level level)
{
    QStringList result;
    for (const auto& [l, message] : log.lines())
        if (l == level)
            result.append(message);
    return result;
}

NorvelleError::Case familyError(Family family)
{
    return family == Family::brew ? NorvelleError::Case::brewCommandFailed
                                  : NorvelleError::Case::masCommandFailed;
}

QString toolName(Family family)
{
    return family == Family::brew ? QStringLiteral("brew") : QStringLiteral("mas");
}

// Both families, each run captured and streamed.
void familiesAndModes()
{
    QTest::addColumn<Family>("family");
    QTest::addColumn<bool>("streamed");
    QTest::newRow("brew captured") << Family::brew << false;
    QTest::newRow("brew streamed") << Family::brew << true;
    QTest::newRow("mas captured") << Family::mas << false;
    QTest::newRow("mas streamed") << Family::mas << true;
}

} // namespace

class TestToolRunner : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(m_tool.isValid()); }
    void init()
    {
        m_tool.clearResponses();
        m_tool.clearCalls();
    }

    // "%1" in an expected line stands for "<path> <arguments>".
    void capturedFailures_data()
    {
        QTest::addColumn<Family>("family");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<QStringList>("debugs");
        const QStringList none;
        QTest::newRow("brew status 2, silent")
            << Family::brew << 2 << QByteArray() << QByteArray()
            << QStringList{"Homebrew command failed with exit code 2: %1"} << none;
        QTest::newRow("brew stderr") << Family::brew << 1 << QByteArray("out") << QByteArray("  boom\n")
                                     << QStringList{"Homebrew command failed: %1", "Exit code: 1",
                                                    "Error output: boom"}
                                     << none;
        QTest::newRow("brew blank stderr")
            << Family::brew << 3 << QByteArray() << QByteArray(" \n")
            << QStringList{"Homebrew command failed: %1", "Exit code: 3", "Error output: "} << none;
        QTest::newRow("brew stdout only")
            << Family::brew << 4 << QByteArray(" partial \n") << QByteArray()
            << QStringList{"Homebrew command failed with exit code 4: %1", "Stdout output: partial"} << none;
        QTest::newRow("brew invalid stderr")
            << Family::brew << 5 << QByteArray("\xFF") << QByteArray("\xFF")
            << QStringList{"Homebrew command failed with exit code 5: %1"} << none;
        QTest::newRow("mas no installed apps")
            << Family::mas << 1 << QByteArray() << QByteArray("Error: No installed apps found\n") << none
            << QStringList{"MAS: No installed apps found"};
        QTest::newRow("mas no installed apps, status 2")
            << Family::mas << 2 << QByteArray() << QByteArray("No installed apps found\n")
            << QStringList{"MAS command failed: %1", "Exit code: 2", "Error output: No installed apps found"}
            << none;
        QTest::newRow("mas other error")
            << Family::mas << 1 << QByteArray() << QByteArray("Error: no network")
            << QStringList{"MAS command failed: %1", "Exit code: 1", "Error output: Error: no network"}
            << none;
        QTest::newRow("mas silent") << Family::mas << 7 << QByteArray() << QByteArray()
                                    << QStringList{"MAS command failed with exit code 7: %1"} << none;
    }
    void capturedFailures()
    {
        QFETCH(Family, family);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QFETCH(QStringList, errors);
        QFETCH(QStringList, debugs);
        const QString path = m_tool.path(toolName(family));
        const QStringList args{"list", "--cask"};
        const QString command = path + " list --cask";
        m_tool.respond(
            toolName(family), args,
            FakeTool::Response().withStandardOutput(out).withStandardError(err).withExitCode(exitCode));
        LogCapture log;
        // What happened is told by the App Store's listings alone; the family's message stays.
        QCOMPARE(descriptionOf([&] { ToolRunner(family).runCommand(path, args); }),
                 NorvelleError::message(familyError(family)));
        QStringList expectedErrors;
        for (const QString& e : errors)
            expectedErrors.append(e.contains("%1") ? e.arg(command) : e);
        QCOMPARE(linesAt(log, Logger::Level::error), expectedErrors);
        QCOMPARE(linesAt(log, Logger::Level::debug), QStringList{"Executing: " + command} + debugs);
    }

    void capturedSuccessKeepsBytesAndDropsStderr()
    {
        const QByteArray out("  caf\xC3\xA9\r\n\xFF tail");
        m_tool.respond("brew", {"outdated"},
                       FakeTool::Response().withStandardOutput(out).withStandardError("warn\n"));
        LogCapture log;
        QCOMPARE(ToolRunner(Family::brew).runCommand(m_tool.brewPath(), {"outdated"}), out);
        QCOMPARE(log.lines().size(), 1);
        QVERIFY(log.contains(Logger::Level::debug, "Executing: " + m_tool.brewPath() + " outdated"));
    }

    void capturedCannotRun_data()
    {
        QTest::addColumn<Family>("family");
        QTest::addColumn<QString>("file"); // missing, plain, directory
        QTest::addColumn<QString>("prefix");
        QTest::newRow("brew missing") << Family::brew << "missing"
                                      << "Executable not found at path: ";
        QTest::newRow("mas missing") << Family::mas << "missing"
                                     << "MAS executable not found at path: ";
        QTest::newRow("brew not executable") << Family::brew << "plain"
                                             << "File is not executable: ";
        QTest::newRow("mas not executable") << Family::mas << "plain"
                                            << "MAS file is not executable: ";
        QTest::newRow("brew launch fails") << Family::brew << "directory"
                                           << "Failed to launch process: ";
        QTest::newRow("mas launch fails") << Family::mas << "directory"
                                          << "Failed to launch MAS process: ";
    }
    void capturedCannotRun()
    {
        QFETCH(Family, family);
        QFETCH(QString, file);
        QFETCH(QString, prefix);
        const QString path = m_tool.directory() + "/" + file;
        if (file == "plain") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else if (file == "directory") {
            QVERIFY(QDir().mkpath(path));
        }
        LogCapture log;
        QCOMPARE(errorCaseOf([&] { ToolRunner(family).runCommand(path, {"list"}); }), familyError(family));
        const QStringList errors = linesAt(log, Logger::Level::error);
        QCOMPARE(errors.size(), 1);
        if (file == "directory")
            QVERIFY2(errors.first().startsWith(prefix) && errors.first().size() > prefix.size(),
                     qPrintable(errors.first()));
        else
            QCOMPARE(errors.first(), prefix + path);
        QCOMPARE(linesAt(log, Logger::Level::debug), QStringList{"Executing: " + path + " list"});
    }

    // A crash is a failed run, even though the tool wrote its output and no exit status.
    void crashFails_data() { familiesAndModes(); }
    void crashFails()
    {
        QFETCH(Family, family);
        QFETCH(bool, streamed);
        const QString path = m_tool.path(toolName(family));
        m_tool.respond(toolName(family), {"go"},
                       FakeTool::Response().withStandardOutput("done\n").withCrash(SIGKILL));
        const ToolRunner runner(family);
        QCOMPARE(errorCaseOf([&] {
                     if (streamed)
                         runner.runCommandStreaming(path, {"go"}, [](const QString&, double) {});
                     else
                         runner.runCommand(path, {"go"});
                 }),
                 familyError(family));
    }

    void timeLimit_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("commandMs");
        QTest::addColumn<int>("tapMs");
        QTest::addColumn<QString>("shown");
        QTest::newRow("list") << QStringList{"list", "--cask"} << 1000 << 60000 << "1";
        QTest::newRow("tap") << QStringList{"tap", "user/repo"} << 60000 << 1500 << "1.5";
    }
    void timeLimit()
    {
        QFETCH(QStringList, args);
        QFETCH(int, commandMs);
        QFETCH(int, tapMs);
        QFETCH(QString, shown);
        m_tool.respond("brew", args, FakeTool::Response().withHang());
        ToolRunner::Limits limits;
        limits.command = std::chrono::milliseconds(commandMs);
        limits.tap = std::chrono::milliseconds(tapMs);
        LogCapture log;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(errorCaseOf([&] { ToolRunner(Family::brew, limits).runCommand(m_tool.brewPath(), args); }),
                 NorvelleError::Case::brewCommandFailed);
        QVERIFY(clock.elapsed() < 30000);
        QCOMPARE(linesAt(log, Logger::Level::error), QStringList{"Command timed out after " + shown + "s: " +
                                                                 m_tool.brewPath() + " " + args.join(' ')});
    }

    // A streamed upgrade that hangs without a word ends like a captured run that ran out of time.
    void streamedSilence()
    {
        m_tool.respond("brew", {"upgrade", "--cask", "acme"},
                       FakeTool::Response().withLine("==> Downloading\n").withHang());
        ToolRunner::Limits limits;
        limits.streamSilence = 700ms;
        LogCapture log;
        QStringList lines;
        QCOMPARE(errorCaseOf([&] {
                     ToolRunner(Family::brew, limits)
                         .runCommandStreaming(m_tool.brewPath(), {"upgrade", "--cask", "acme"},
                                              [&](const QString& line, double) { lines.append(line); });
                 }),
                 NorvelleError::Case::brewCommandFailed);
        QCOMPARE(lines, QStringList{"==> Downloading"});
        QVERIFY(log.contains(Logger::Level::error,
                             "Command timed out after 0.7s: " + m_tool.brewPath() + " upgrade --cask acme"));
    }

    // brew overrides the three variables whatever the application has; mas passes them on as is.
    void environment_data() { familiesAndModes(); }
    void environment()
    {
        QFETCH(Family, family);
        QFETCH(bool, streamed);
        qputenv("HOMEBREW_NO_AUTO_UPDATE", "0");
        qunsetenv("HOMEBREW_NO_INSTALL_CLEANUP");
        qunsetenv("HOMEBREW_NO_ENV_HINTS");
        m_tool.setRecordedEnvironment({"HOMEBREW_NO_AUTO_UPDATE", "HOMEBREW_NO_INSTALL_CLEANUP",
                                       "HOMEBREW_NO_ENV_HINTS", "NORVELLE_OWN"});
        qputenv("NORVELLE_OWN", "kept");
        m_tool.respondToAnyArguments(toolName(family), FakeTool::Response().withStandardInputRead());
        const ToolRunner runner(family);
        const QString path = m_tool.path(toolName(family));
        if (streamed)
            runner.runCommandStreaming(path, {"upgrade"}, [](const QString&, double) {});
        else
            runner.runCommand(path, {"list"});
        qunsetenv("HOMEBREW_NO_AUTO_UPDATE");
        qunsetenv("NORVELLE_OWN");

        const FakeTool::Call call = m_tool.calls().value(0);
        QMap<QString, QString> expected{{"NORVELLE_OWN", "kept"}};
        if (family == Family::brew) {
            expected.insert("HOMEBREW_NO_AUTO_UPDATE", "1");
            expected.insert("HOMEBREW_NO_INSTALL_CLEANUP", "1");
            expected.insert("HOMEBREW_NO_ENV_HINTS", "1");
        } else {
            expected.insert("HOMEBREW_NO_AUTO_UPDATE", "0");
        }
        QCOMPARE(call.environment, expected);
        QCOMPARE(call.standardInput, std::optional<QByteArray>(QByteArray()));
        QVERIFY(call.sessionLeader);
    }

    void streamedLines_data()
    {
        QTest::addColumn<Family>("family");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("brew success") << Family::brew << 0;
        QTest::newRow("brew failure") << Family::brew << 1;
        QTest::newRow("mas success") << Family::mas << 0;
        QTest::newRow("mas failure") << Family::mas << 3;
    }
    void streamedLines()
    {
        QFETCH(Family, family);
        QFETCH(int, exitCode);
        const QString path = m_tool.path(toolName(family));
        m_tool.respond(toolName(family), {"upgrade", "x"},
                       FakeTool::Response()
                           .withLine("==> Downloading a\r\n")
                           .withLine("Warning: only on stderr\n", true, 0.05)
                           .withLine("  \n")
                           .withLine("==> Installing b\n", false, 0.05)
                           .withLine("Moving complete", false, 0.05)
                           .withExitCode(exitCode));
        LogCapture log;
        Lines got;
        std::optional<NorvelleError::Case> thrown = errorCaseOf([&] {
            ToolRunner(family).runCommandStreaming(path, {"upgrade", "x"},
                                                   [&got](const QString& line, double f) {
                                                       got.append({line, f});
                                                   });
        });
        const bool brew = family == Family::brew;
        const Lines expected{{"==> Downloading a", 0.3},
                             {"Warning: only on stderr", 0.0},
                             {"==> Installing b", 0.7},
                             {"Moving complete", 1.0}};
        // The streams interleave as they are read; within one stream the order holds.
        const Lines onStandardOutput{expected[0], expected[2], expected[3]};
        QCOMPARE(got.size(), expected.size());
        QVERIFY(got.contains(expected[1]));
        QCOMPARE(got.removeAll(expected[1]), 1);
        QCOMPARE(got, onStandardOutput);
        QCOMPARE(thrown, exitCode == 0 ? std::nullopt : std::optional(familyError(family)));
        QStringList expectedLog;
        for (const auto& [line, fraction] : expected)
            expectedLog.append((brew ? "Brew output: " : "MAS output: ") + line);
        QStringList debugLines = linesAt(log, Logger::Level::debug);
        debugLines.sort();
        expectedLog.sort();
        QCOMPARE(debugLines, expectedLog);
        QVERIFY(linesAt(log, Logger::Level::error).isEmpty());
    }

    void streamedLaunchErrorPassesThrough()
    {
        LogCapture log;
        const QString path = m_tool.directory() + "/missing";
        QVERIFY_THROWS_EXCEPTION(
            ProcessLaunchError,
            ToolRunner(Family::brew).runCommandStreaming(path, {"upgrade"}, [](const QString&, double) {}));
        QVERIFY(log.lines().isEmpty());
    }

    // Runs from many pool threads at once: each gets its own output, none waits for another's
    // pipes, and Qt has nothing to warn about.
    void parallelRunsOnThePool()
    {
        QTest::failOnWarning(QRegularExpression(".*"));
        for (int i = 0; i < 12; ++i)
            m_tool.respond(
                "brew", {"info", QString::number(i)},
                FakeTool::Response().withStandardOutput(QByteArray::number(i) + "\n").withDelay(0.1));
        ToolRunner::Limits limits;
        limits.streamGrace = 15s;
        const ToolRunner runner(Family::brew, limits);
        QElapsedTimer clock;
        clock.start();
        TaskGroup<QPair<int, QByteArray>> group;
        for (int i = 0; i < 12; ++i)
            group.add([&, i] {
                QByteArray streamed;
                runner.runCommandStreaming(m_tool.brewPath(), {"info", QString::number(i)},
                                           [&](const QString& line, double) { streamed += line.toUtf8(); });
                return qMakePair(i, runner.runCommand(m_tool.brewPath(), {"info", QString::number(i)}) +
                                        streamed);
            });
        const auto results = group.waitAll();
        QCOMPARE(int(results.size()), 12);
        for (const auto& [i, out] : results)
            QCOMPARE(out, QByteArray::number(i) + "\n" + QByteArray::number(i));
        // Below one grace period: no child held another run's pipes open.
        QVERIFY(clock.elapsed() < 10000);
    }

#if defined(__linux__)
    // Once a check begins the tools run at the lowered threads' share, not above them; before it
    // at the application's own. Last: the check cannot be undone in this process.
    void toolsRunAtTheBackgroundShareOnceChecking()
    {
        const QString nice = QStringLiteral("/usr/bin/nice"); // prints its own nice value
        if (!QFile::exists(nice))
            QSKIP("needs /usr/bin/nice");
        const int own = ::getpriority(PRIO_PROCESS, 0);
        if (own >= 19)
            QSKIP("the tests run at the lowest share already: no tool can go below them");
        const ToolRunner runner(Family::brew);
        QCOMPARE(runner.runCommand(nice, {}).trimmed().toInt(), own);
        beginBackgroundWork();
        const int lowered = std::min(19, own + 10);
        QCOMPARE(runner.runCommand(nice, {}).trimmed().toInt(), lowered);
        QString streamed;
        runner.runCommandStreaming(nice, {}, [&](const QString& line, double) { streamed += line; });
        QCOMPARE(streamed.trimmed().toInt(), lowered);
    }
#endif

private:
    FakeTool m_tool;
};

QTEST_GUILESS_MAIN(TestToolRunner)
#include "tst_toolrunner.moc"
