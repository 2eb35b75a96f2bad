#include "platform/process/ProcessRunner.h"

#include "FakeTool.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <signal.h>

using namespace norvelle;
using norvelle::test::FakeTool;
using namespace std::chrono_literals;

namespace {

// A zombie counts as gone: nothing runs any more, only the reaping is left.
bool isAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray text = stat.readAll();
        const qsizetype close = text.lastIndexOf(')');
        return close < 0 || text.mid(close + 2, 1) != "Z";
    }
    return ::kill(static_cast<pid_t>(pid), 0) == 0;
}

struct Collected {
    QByteArray out;
    QByteArray err;
    QList<ProcessChannel> ended;
};

ProcessResult runStreamed(const ProcessRequest& request, Collected& c, std::chrono::milliseconds grace = 2s)
{
    return ProcessRunner::runStreamed(
        request,
        [&c](ProcessChannel ch, QByteArrayView chunk) {
            (ch == ProcessChannel::standardOutput ? c.out : c.err).append(chunk);
        },
        [&c](ProcessChannel ch) { c.ended.append(ch); }, grace);
}

} // namespace

class TestProcessRunner : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(m_tool.isValid()); }
    void init()
    {
        m_tool.clearResponses();
        m_tool.clearCalls();
    }

    void capturedKeepsChannelsApart()
    {
        m_tool.respond(
            "brew", {"a", "b c"},
            FakeTool::Response().withStandardOutput("out\n").withStandardError("err\n").withExitCode(3));
        const ProcessResult r = ProcessRunner::runCaptured({m_tool.brewPath(), {"a", "b c"}}, 20s);
        QCOMPARE(r.standardOutput, QByteArray("out\n"));
        QCOMPARE(r.standardError, QByteArray("err\n"));
        QCOMPARE(r.exitCode, 3);
        QVERIFY(!r.crashed);
        QVERIFY(!r.succeeded());
        QCOMPARE(m_tool.calls().size(), 1);
        QCOMPARE(m_tool.calls().first().arguments, QStringList({"a", "b c"}));
    }

    void timeLimitKillsTheProcessGroup()
    {
        m_tool.respond("brew", {"hang"},
                       FakeTool::Response().withStandardOutput("before\n").withHang().withDescendant(60));
        QElapsedTimer clock;
        clock.start();
        const ProcessResult r = ProcessRunner::runCaptured({m_tool.brewPath(), {"hang"}}, 3s);
        QVERIFY(r.timedOut);
        QVERIFY(!r.succeeded());
        QVERIFY(clock.elapsed() < 20000);
        QCOMPARE(r.standardOutput, QByteArray("before\n"));
        const FakeTool::Call call = m_tool.calls().value(0);
        QVERIFY(call.descendantPid > 0);
        QTRY_VERIFY(!isAlive(call.pid));
        QTRY_VERIFY(!isAlive(call.descendantPid));
    }

    // A descendant that outlives the tool holds the pipes: neither run waits for it.
    void descendantDoesNotHoldTheRun_data()
    {
        QTest::addColumn<bool>("streamed");
        QTest::newRow("captured") << false;
        QTest::newRow("streamed") << true;
    }
    void descendantDoesNotHoldTheRun()
    {
        QFETCH(bool, streamed);
        m_tool.respond(
            "brew", {"spawn"},
            FakeTool::Response().withStandardOutput("one\n").withStandardError("two").withDescendant(60));
        const ProcessRequest request{m_tool.brewPath(), {"spawn"}};
        QElapsedTimer clock;
        clock.start();
        Collected c;
        const ProcessResult r =
            streamed ? runStreamed(request, c, 300ms) : ProcessRunner::runCaptured(request, 50s);
        QVERIFY2(clock.elapsed() < 30000, "the run waited for the descendant");
        QVERIFY(r.succeeded());
        QVERIFY(isAlive(m_tool.calls().value(0).descendantPid));
        if (streamed) {
            QCOMPARE(c.out, QByteArray("one\n"));
            QCOMPARE(c.err, QByteArray("two"));
            QCOMPARE(c.ended.size(), 2);
        } else {
            QCOMPARE(r.standardOutput, QByteArray("one\n"));
            QCOMPARE(r.standardError, QByteArray("two"));
        }
    }

    void streamedDeliversAsWritten()
    {
        m_tool.respond("mas", {"s"},
                       FakeTool::Response()
                           .withLine("a\n", true)
                           .withLine("b")
                           .withLine("c\n", false, 0.05)
                           .withLine("d", true, 0.05)
                           .withExitCode(4));
        Collected c;
        const ProcessResult r = runStreamed({m_tool.masPath(), {"s"}}, c);
        QCOMPARE(r.exitCode, 4);
        QCOMPARE(c.out, QByteArray("bc\n"));
        QCOMPARE(c.err, QByteArray("a\nd"));
        QCOMPARE(c.ended.size(), 2);
        QVERIFY(c.ended.contains(ProcessChannel::standardOutput));
        QVERIFY(c.ended.contains(ProcessChannel::standardError));
    }

    // More than a pipe holds, on both channels, completes in either run kind.
    void largeOutput()
    {
        const QByteArray big(1 << 20, 'x');
        m_tool.respond("brew", {"big"}, FakeTool::Response().withStandardOutput(big).withStandardError(big));
        const ProcessResult captured = ProcessRunner::runCaptured({m_tool.brewPath(), {"big"}}, 60s);
        QCOMPARE(captured.standardOutput.size(), big.size());
        QCOMPARE(captured.standardError.size(), big.size());
        Collected c;
        QVERIFY(runStreamed({m_tool.brewPath(), {"big"}}, c).succeeded());
        QCOMPARE(c.out.size(), big.size());
        QCOMPARE(c.err.size(), big.size());
    }

    void handlerErrorSurfacesAfterExit()
    {
        m_tool.respond("brew", {"x"},
                       FakeTool::Response().withStandardOutput("one\n").withLine("two\n", false, 0.05));
        int chunks = 0;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, ProcessRunner::runStreamed(
                                                         {m_tool.brewPath(), {"x"}},
                                                         [&](ProcessChannel, QByteArrayView) {
                                                             ++chunks;
                                                             throw std::runtime_error("handler");
                                                         },
                                                         [](ProcessChannel) {}));
        QCOMPARE(chunks, 1);
        QCOMPARE(m_tool.calls().size(), 1);
    }

    // What a descendant writes after the tool has exited still counts, within the grace period.
    void capturedKeepsLateOutputOfDescendants()
    {
        const ProcessResult r =
            ProcessRunner::runCaptured({"/bin/sh", {"-c", "(sleep 0.3; echo late) & echo early"}}, 20s);
        QVERIFY(r.succeeded());
        QCOMPARE(r.standardOutput, QByteArray("early\nlate\n"));
    }

    // Only silence ends a streamed run, never its length.
    void streamedSilenceEndsTheRun_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("timedOut");
        QTest::addColumn<QByteArray>("output");
        QTest::newRow("silent after a line") << "echo start; sleep 60" << true << QByteArray("start\n");
        QTest::newRow("longer than the limit, never silent")
            << "for i in 1 2 3 4 5 6 7 8; do echo $i >&2; sleep 0.2; done" << false << QByteArray();
    }
    void streamedSilenceEndsTheRun()
    {
        QFETCH(QString, script);
        QFETCH(bool, timedOut);
        QFETCH(QByteArray, output);
        Collected c;
        QElapsedTimer clock;
        clock.start();
        const ProcessResult r = ProcessRunner::runStreamed(
            {"/bin/sh", {"-c", script}},
            [&c](ProcessChannel ch, QByteArrayView chunk) {
                (ch == ProcessChannel::standardOutput ? c.out : c.err).append(chunk);
            },
            [&c](ProcessChannel ch) { c.ended.append(ch); }, 2s, 800ms);
        QCOMPARE(r.timedOut, timedOut);
        QCOMPARE(r.succeeded(), !timedOut);
        QCOMPARE(c.out, output);
        QCOMPARE(c.ended.size(), 2);
        QVERIFY(clock.elapsed() < 20000);
    }

private:
    FakeTool m_tool;
};

QTEST_GUILESS_MAIN(TestProcessRunner)
#include "tst_processrunner.moc"
