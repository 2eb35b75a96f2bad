#include "FakeTerminalLauncher.h"
#include "FakeTool.h"
#include "LogCapture.h"
#include "TempRoot.h"
#include "platform/LinuxTerminalLauncher.h"
#include "platform/process/ProcessRunner.h"
#include "viewmodels/TerminalCommands.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace norvelle;
using namespace std::chrono_literals;
using norvelle::test::FakeTerminalLauncher;
using norvelle::test::FakeTool;
using norvelle::test::LogCapture;
using norvelle::test::TempRoot;

namespace {

constexpr TerminalCommandTiming fastTiming{150ms, 300ms, 300000ms};

} // namespace

class TestTerminalCommands : public QObject {
    Q_OBJECT

private:
    // A root with brew at its second location and a fake login shell.
    struct DoctorWorld {
        TempRoot root;
        FakeTool tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

        DoctorWorld()
        {
            root.writeExecutable(QStringLiteral("/usr/local/bin/brew"), "#!/bin/sh\n");
            tool.installAs(QStringLiteral("zsh"));
            environment.insert(QStringLiteral("SHELL"), tool.path(QStringLiteral("zsh")));
        }
        void respond(const FakeTool::Response& response)
        {
            tool.respond(QStringLiteral("zsh"), {"-l", "-c", "brew doctor"}, response);
        }
    };

private Q_SLOTS:
    // Each row is checked twice: the expected text, and a real shell that gets the argument
    // back unchanged.
    void quotingForTheShell_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("plain token") << "firefox"
                                     << "firefox";
        QTest::newRow("option and path") << "--cask=/opt/a_b-1.2@3%+:,"
                                         << "--cask=/opt/a_b-1.2@3%+:,";
        QTest::newRow("empty") << ""
                               << "''";
        QTest::newRow("space") << "Google Chrome"
                               << "'Google Chrome'";
        QTest::newRow("single quote") << "it's"
                                      << "'it'\\''s'";
        QTest::newRow("double quote") << "say \"hi\""
                                      << "'say \"hi\"'";
        QTest::newRow("dollar") << "$HOME"
                                << "'$HOME'";
        QTest::newRow("command substitution") << "$(touch pwned)"
                                              << "'$(touch pwned)'";
        QTest::newRow("backticks") << "`id`"
                                   << "'`id`'";
        QTest::newRow("separator") << "x; rm -rf ~"
                                   << "'x; rm -rf ~'";
        QTest::newRow("newline") << "a\nb"
                                 << "'a\nb'";
        QTest::newRow("backslash") << "a\\b"
                                   << "'a\\b'";
        QTest::newRow("glob") << "*"
                              << "'*'";
        QTest::newRow("non-ASCII") << "Café"
                                   << "'Café'";
    }
    void quotingForTheShell()
    {
        QFETCH(QString, argument);
        QFETCH(QString, quoted);
        QCOMPARE(TerminalLauncher::quoteForShell(argument), quoted);

        QTemporaryDir work;
        ProcessRequest request;
        request.program = QStringLiteral("/bin/sh");
        request.arguments = {QStringLiteral("-c"),
                             TerminalLauncher::shellCommandLine({QStringLiteral("printf"), "%s", argument})};
        const ProcessResult result = ProcessRunner::runCaptured(request, 10s);
        QVERIFY(result.succeeded());
        QCOMPARE(QString::fromUtf8(result.standardOutput), argument);
        QVERIFY(!QFile::exists(QStringLiteral("pwned")));
    }

    void commandLineKeepsPlainWordsAsTheyAre()
    {
        QCOMPARE(TerminalLauncher::shellCommandLine({"brew", "upgrade", "--cask", "firefox"}),
                 QStringLiteral("brew upgrade --cask firefox"));
        QCOMPARE(TerminalLauncher::shellCommandLine({"brew", "install", "--cask", "--adopt", "a b"}),
                 QStringLiteral("brew install --cask --adopt 'a b'"));
    }

    void appleScriptEscaping_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("unchanged") << "brew install mas"
                                   << "brew install mas";
        QTest::newRow("quote") << "say \"x\""
                               << "say \\\"x\\\"";
        QTest::newRow("backslash") << "a\\b"
                                   << "a\\\\b";
        QTest::newRow("backslash before quote") << "a\\\"b"
                                                << "a\\\\\\\"b";
    }
    void appleScriptEscaping()
    {
        QFETCH(QString, commandLine);
        QFETCH(QString, escaped);
        QCOMPARE(TerminalLauncher::escapeForAppleScript(commandLine), escaped);
    }

    void appleScriptHasFiveLines()
    {
        QCOMPARE(TerminalLauncher::terminalAppleScript(QStringLiteral("echo \"hi\"")),
                 QStringLiteral("tell application \"Terminal\"\n    if not (exists window 1) then reopen\n"
                                "    activate\n    do script \"echo \\\"hi\\\"\" in window 1\nend tell"));
    }

    void handOverLogsRaisesFlagsAndClearsThem()
    {
        LogCapture log;
        auto launcher = std::make_shared<FakeTerminalLauncher>();
        TerminalCommands commands(Paths(), launcher, {}, fastTiming);
        QSignalSpy launching(&commands, &TerminalCommands::isLaunchingTerminalChanged);

        commands.executeInTerminal(QStringLiteral("brew install mas"));
        QCOMPARE(launcher->commandLines(), QStringList{"brew install mas"});
        QVERIFY(log.contains(Logger::Level::info, "Executing command in Terminal: brew install mas"));
        QVERIFY(log.contains(Logger::Level::info, "Successfully launched Terminal with command"));
        QVERIFY(commands.isLaunchingTerminal());
        QVERIFY(commands.didLaunchTerminal());

        // Within the cooldown a second hand-over is dropped, and says it tried nothing.
        QVERIFY(!commands.executeInTerminal(QStringLiteral("brew doctor")));
        QCOMPARE(launcher->commandLines().size(), 1);
        QVERIFY(log.contains(Logger::Level::warning,
                             "Terminal launch already in progress, ignoring duplicate request"));

        QTRY_VERIFY(!commands.isLaunchingTerminal());
        QCOMPARE(launching.size(), 2);
        QTRY_VERIFY(!commands.didLaunchTerminal());

        commands.executeInTerminal(QStringLiteral("brew doctor"));
        QCOMPARE(launcher->commandLines().size(), 2);
    }

    void wordsAreQuotedBeforeTheHandOver()
    {
        auto launcher = std::make_shared<FakeTerminalLauncher>();
        TerminalCommands commands(Paths(), launcher, {}, fastTiming);
        commands.executeInTerminal(QStringList{"brew", "upgrade", "--cask", "x; open -a Calculator"});
        QCOMPARE(launcher->commandLines(), QStringList{"brew upgrade --cask 'x; open -a Calculator'"});
    }

    void refusedHandOver_data()
    {
        QTest::addColumn<bool>("prepared");
        QTest::newRow("refused") << true;
        QTest::newRow("not prepared") << false;
    }
    void refusedHandOver()
    {
        QFETCH(bool, prepared);
        LogCapture log;
        auto launcher = std::make_shared<FakeTerminalLauncher>();
        launcher->setResult(prepared ? TerminalLauncher::Result::refused("Not authorised")
                                     : TerminalLauncher::Result::notPrepared());
        TerminalCommands commands(Paths(), launcher, {}, fastTiming);
        QSignalSpy launched(&commands, &TerminalCommands::didLaunchTerminalChanged);

        // The launcher's answer goes back to the view that asked.
        const auto result = commands.executeInTerminal(QStringLiteral("brew install mas"));
        QVERIFY(result);
        QCOMPARE(result->status, prepared ? TerminalLauncher::Result::Status::refused
                                          : TerminalLauncher::Result::Status::notPrepared);
        QCOMPARE(log.contains(Logger::Level::error, "AppleScript error: Not authorised"), prepared);
        QVERIFY(!log.contains(Logger::Level::info, "Successfully launched Terminal with command"));
        QVERIFY(commands.isLaunchingTerminal());
        QTRY_VERIFY(!commands.isLaunchingTerminal());
        QCOMPARE(launched.size(), 0);
    }

    void brewDoctorOutcome_data()
    {
        QTest::addColumn<QByteArray>("standardOutput");
        QTest::addColumn<QByteArray>("standardError");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("hasError");
        QTest::newRow("clean, silent")
            << QByteArray() << QByteArray() << 0 << "Your system is ready to brew." << false;
        QTest::newRow("clean with report")
            << QByteArray("Warning: old tap\n") << QByteArray() << 0 << "Warning: old tap\n"
            << false;
        QTest::newRow("error prefers stderr")
            << QByteArray("stdout text") << QByteArray("Warning: x") << 1 << "Warning: x" << true;
        QTest::newRow("error falls back to stdout")
            << QByteArray("stdout text") << QByteArray() << 1 << "stdout text" << true;
        QTest::newRow("error, silent")
            << QByteArray() << QByteArray() << 2
            << "brew doctor completed with warnings or errors (exit code: 2)" << true;
        QTest::newRow("stderr not UTF-8 counts as empty")
            << QByteArray("report") << QByteArray("\xff\xfe bad") << 1 << "report" << true;
        QTest::newRow("brew missing from the login path")
            << QByteArray() << QByteArray("zsh:1: command not found: brew\n") << 127
            << "zsh:1: command not found: brew\n"
            << true;
    }
    void brewDoctorOutcome()
    {
        QFETCH(QByteArray, standardOutput);
        QFETCH(QByteArray, standardError);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(bool, hasError);

        DoctorWorld world;
        world.respond(FakeTool::Response()
                          .withStandardOutput(standardOutput)
                          .withStandardError(standardError)
                          .withExitCode(exitCode));
        LogCapture log;
        TerminalCommands commands(world.root.paths(), nullptr, world.environment, fastTiming);
        QSignalSpy running(&commands, &TerminalCommands::isRunningBrewDoctorChanged);

        QFuture<void> run = commands.runBrewDoctor();
        QVERIFY(commands.isRunningBrewDoctor());
        QVERIFY(commands.brewDoctorOutput().isEmpty());
        QTRY_VERIFY(run.isFinished());

        QCOMPARE(commands.brewDoctorOutput(), output);
        QCOMPARE(commands.brewDoctorHasError(), hasError);
        QCOMPARE(running.size(), 2);
        QVERIFY(!commands.isRunningBrewDoctor());
        const QList<FakeTool::Call> calls = world.tool.calls(QStringLiteral("zsh"));
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().arguments, QStringList({"-l", "-c", "brew doctor"}));
        QVERIFY(log.lines().isEmpty());
    }

    void brewDoctorWithoutHomebrewStartsNothing()
    {
        DoctorWorld world;
        QFile::remove(world.root.filePath(QStringLiteral("/usr/local/bin/brew")));
        TerminalCommands commands(world.root.paths(), nullptr, world.environment, fastTiming);
        QFuture<void> run = commands.runBrewDoctor();
        QVERIFY(run.isFinished());
        QCOMPARE(commands.brewDoctorOutput(),
                 QStringLiteral(
                     "Error: Homebrew is not installed.\n\nPlease install Homebrew from https://brew.sh"));
        QVERIFY(commands.brewDoctorHasError());
        QVERIFY(!commands.isRunningBrewDoctor());
        QVERIFY(world.tool.calls().isEmpty());
    }

    void brewDoctorShellThatCannotStart_data()
    {
        QTest::addColumn<bool>("shellSet");
        QTest::newRow("missing shell") << true;
        QTest::newRow("SHELL absent, /bin/zsh") << false;
    }
    void brewDoctorShellThatCannotStart()
    {
        QFETCH(bool, shellSet);
        if (!shellSet && QFile::exists(QStringLiteral("/bin/zsh")))
            QSKIP("/bin/zsh exists on this machine");
        DoctorWorld world;
        if (shellSet)
            world.environment.insert(QStringLiteral("SHELL"), world.root.filePath("/bin/no-such-shell"));
        else
            world.environment.remove(QStringLiteral("SHELL"));
        TerminalCommands commands(world.root.paths(), nullptr, world.environment, fastTiming);
        QFuture<void> run = commands.runBrewDoctor();
        QTRY_VERIFY(run.isFinished());
        QVERIFY2(commands.brewDoctorOutput().startsWith(QStringLiteral("Failed to run brew doctor: ")),
                 qPrintable(commands.brewDoctorOutput()));
        QVERIFY(commands.brewDoctorHasError());
        QVERIFY(!commands.isRunningBrewDoctor());
    }

    void brewDoctorThatHangsIsStopped()
    {
        DoctorWorld world;
        world.respond(FakeTool::Response().withHang());
        LogCapture log;
        TerminalCommands commands(world.root.paths(), nullptr, world.environment, {150ms, 300ms, 300ms});
        QFuture<void> run = commands.runBrewDoctor();
        QTRY_VERIFY(run.isFinished());
        QVERIFY(commands.brewDoctorOutput().startsWith(QStringLiteral("Failed to run brew doctor: ")));
        QVERIFY(commands.brewDoctorHasError());
        QVERIFY(log.containsPrefix(Logger::Level::warning, "brew doctor did not finish within"));
    }

    void linuxTerminalGetsAnArgumentList()
    {
        FakeTool tool;
        tool.installAs(QStringLiteral("term"));
        tool.respondToAnyArguments(QStringLiteral("term"), FakeTool::Response());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TERMINAL"), tool.path(QStringLiteral("term")));
        environment.insert(QStringLiteral("SHELL"), QStringLiteral("/bin/sh"));
        LinuxTerminalLauncher launcher(environment);

        const QString line = TerminalLauncher::shellCommandLine({"brew", "upgrade", "--cask", "a'b $(x)"});
        QCOMPARE(launcher.launch(line).status, TerminalLauncher::Result::Status::launched);
        QTRY_COMPARE(tool.calls(QStringLiteral("term")).size(), 1);
        QCOMPARE(tool.calls(QStringLiteral("term")).first().arguments,
                 QStringList({"-e", "/bin/sh", "-l", "-c", line + "\nexec /bin/sh -l"}));
    }

    // The refusal is shown to the user: it names what is missing and both ways out.
    void linuxWithoutTerminalRefuses_data()
    {
        QTest::addColumn<QString>("terminal");
        QTest::addColumn<QString>("names");
        QTest::newRow("TERMINAL unset") << QString() << "TERMINAL is not set";
        QTest::newRow("TERMINAL names no program") << "kitty" << "TERMINAL names \"kitty\"";
    }
    void linuxWithoutTerminalRefuses()
    {
        QFETCH(QString, terminal);
        QFETCH(QString, names);
        QTemporaryDir emptyPath;
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("PATH"), emptyPath.path());
        if (!terminal.isEmpty())
            environment.insert(QStringLiteral("TERMINAL"), terminal);
        LinuxTerminalLauncher launcher(environment);
        QVERIFY(!launcher.terminalProgram());
        const TerminalLauncher::Result result = launcher.launch(QStringLiteral("brew install mas"));
        QCOMPARE(result.status, TerminalLauncher::Result::Status::refused);
        for (const QString& part : {names, QStringLiteral("x-terminal-emulator is not installed"),
                                    QStringLiteral("Install a terminal"), QStringLiteral("or set TERMINAL")})
            QVERIFY2(result.errorDescription.contains(part), qPrintable(result.errorDescription));
    }
};

QTEST_GUILESS_MAIN(TestTerminalCommands)
#include "tst_terminalcommands.moc"
