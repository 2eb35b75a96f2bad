#include "FakeNetworkProbe.h"
#include "LogCapture.h"
#include "platform/Paths.h"
#include "platform/RouteNetworkProbe.h"
#include "services/EnvironmentService.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>
#include <vector>

using namespace norvelle;
using namespace std::chrono_literals;
using norvelle::test::FakeNetworkProbe;
using norvelle::test::LogCapture;
using Mode = FakeNetworkProbe::Mode;

namespace {

// What stands at one tool location in a test root.
enum class Item { none, file, emptyFile, folder, danglingLink };

void place(const QString& path, Item item)
{
    if (item == Item::none) {
        return;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    switch (item) {
    case Item::file: {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write("#!/bin/sh\n");
        }
        break;
    }
    case Item::emptyFile:
        QFile(path).open(QIODevice::WriteOnly);
        break;
    case Item::folder:
        QDir().mkpath(path);
        break;
    case Item::danglingLink:
        QFile::link(path + ".missing-target", path);
        break;
    case Item::none:
        break;
    }
}

const QByteArray ipv4Header =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

QByteArray ipv4Row(const char* iface, const char* destination, const char* flags, const char* mask)
{
    return QByteArray(iface) + '\t' + destination + "\t010200C0\t" + flags + "\t0\t0\t0\t" + mask +
           "\t0\t0\t0\n";
}

QByteArray ipv6Row(const char* destination, const char* prefix, const char* flags, const char* iface)
{
    return QByteArray(destination) + ' ' + prefix +
           " 00000000000000000000000000000000 00 fd000000000000000000000000000001 00000400 00000002 "
           "00000000 " +
           flags + "     " + iface + '\n';
}

const char* zero128 = "00000000000000000000000000000000";

} // namespace

class TestEnvironmentService : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_root;

    Paths pathsForThisTest() const
    {
        return Paths::underRoot(m_root.filePath(QString::fromLatin1(QTest::currentTestFunction()) + '-' +
                                                QString::fromLatin1(QTest::currentDataTag())));
    }

private Q_SLOTS:
    void flags_data()
    {
        QTest::addColumn<Item>("brewOpt");
        QTest::addColumn<Item>("brewLocal");
        QTest::addColumn<Item>("masOpt");
        QTest::addColumn<Item>("masLocal");
        QTest::addColumn<Mode>("network");
        QTest::addColumn<bool>("hasHomebrew");
        QTest::addColumn<bool>("hasMAS");
        QTest::addColumn<int>("brewPathIndex"); // -1: no path
        QTest::addColumn<QString>("logLine");

        QTest::newRow("nothing installed")
            << Item::none << Item::none << Item::none << Item::none << Mode::up << false << false << -1
            << "Environment check complete: Homebrew=false, MAS=false, Network=true";
        QTest::newRow("brew only in /usr/local")
            << Item::none << Item::file << Item::none << Item::none << Mode::up << true << false << 1
            << "Environment check complete: Homebrew=true, MAS=false, Network=true";
        QTest::newRow("brew in both places")
            << Item::file << Item::file << Item::file << Item::none << Mode::down << true << true << 0
            << "Environment check complete: Homebrew=true, MAS=true, Network=false";
        QTest::newRow("empty mas file counts")
            << Item::none << Item::none << Item::emptyFile << Item::none << Mode::up << false << true << -1
            << "Environment check complete: Homebrew=false, MAS=true, Network=true";
        QTest::newRow("folders count")
            << Item::folder << Item::none << Item::none << Item::folder << Mode::up << true << true << 0
            << "Environment check complete: Homebrew=true, MAS=true, Network=true";
        QTest::newRow("dangling links do not")
            << Item::danglingLink << Item::none << Item::danglingLink << Item::none << Mode::down << false
            << false << -1 << "Environment check complete: Homebrew=false, MAS=false, Network=false";
    }
    void flags()
    {
        QFETCH(Item, brewOpt);
        QFETCH(Item, brewLocal);
        QFETCH(Item, masOpt);
        QFETCH(Item, masLocal);
        QFETCH(Mode, network);
        QFETCH(bool, hasHomebrew);
        QFETCH(bool, hasMAS);
        QFETCH(int, brewPathIndex);
        QFETCH(QString, logLine);

        const Paths paths = pathsForThisTest();
        place(paths.brewCandidates.at(0), brewOpt);
        place(paths.brewCandidates.at(1), brewLocal);
        place(paths.masCandidates.at(0), masOpt);
        place(paths.masCandidates.at(1), masLocal);

        LogCapture log;
        EnvironmentService service(paths, std::make_shared<FakeNetworkProbe>(network));
        QVERIFY(!service.currentStatus().has_value());
        const EnvironmentStatus status = service.checkEnvironment();

        QCOMPARE(status.hasHomebrew, hasHomebrew);
        QCOMPARE(status.hasMAS, hasMAS);
        QCOMPARE(status.hasNetwork, network == Mode::up);
        const std::optional<QString> expectedPath =
            brewPathIndex < 0 ? std::nullopt : std::optional<QString>(paths.brewCandidates.at(brewPathIndex));
        QCOMPARE(status.homebrewPath, expectedPath);
        QCOMPARE(service.findHomebrewPath(), expectedPath);
        QCOMPARE(service.currentStatus(), std::optional<EnvironmentStatus>(status));
        QCOMPARE(log.lines().size(), 1);
        QVERIFY(log.contains(Logger::Level::info, logLine));
    }

    void probeModes_data()
    {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<bool>("expected");
        QTest::newRow("up") << Mode::up << true;
        QTest::newRow("down") << Mode::down << false;
        QTest::newRow("silent") << Mode::silent << false;
    }
    void probeModes()
    {
        QFETCH(Mode, mode);
        QFETCH(bool, expected);
        auto probe = std::make_shared<FakeNetworkProbe>(mode);
        const auto limit = 150ms;
        EnvironmentService service(pathsForThisTest(), probe, limit);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(service.checkNetworkConnectivity(), expected);
        const qint64 elapsed = timer.elapsed();
        if (mode == Mode::silent) {
            QVERIFY2(elapsed >= limit.count(), QByteArray::number(elapsed));
        } else {
            QVERIFY2(elapsed < limit.count(), QByteArray::number(elapsed));
        }
        QCOMPARE(probe->startedCount(), 1);
        QCOMPARE(probe->cancelledCount(), 1);
        QCOMPARE(probe->liveCount(), 0);
    }

    void onlyTheFirstReportCounts()
    {
        auto probe = std::make_shared<FakeNetworkProbe>(Mode::silent);
        EnvironmentService service(pathsForThisTest(), probe, 10s);
        std::atomic<int> result{-1};
        std::thread checker([&] { result = service.checkNetworkConnectivity() ? 1 : 0; });
        QTRY_COMPARE(probe->startedCount(), 1);
        probe->deliver(false);
        probe->deliver(true);
        checker.join();
        QCOMPARE(result.load(), 0);
    }

    // A report and the limit arriving together settle the answer once; run many
    // overlapping checks against a probe that reports from another thread.
    void reportRacingTheLimitSettlesOnce()
    {
        auto probe = std::make_shared<FakeNetworkProbe>(Mode::silent);
        EnvironmentService service(pathsForThisTest(), probe, 1ms);
        std::atomic<bool> stop{false};
        std::thread reporter([&] {
            while (!stop) {
                probe->deliver(true);
            }
        });
        std::vector<std::thread> checkers;
        std::atomic<int> finished{0};
        for (int t = 0; t < 4; ++t) {
            checkers.emplace_back([&] {
                for (int i = 0; i < 100; ++i) {
                    service.checkNetworkConnectivity();
                    ++finished;
                }
            });
        }
        for (auto& checker : checkers) {
            checker.join();
        }
        stop = true;
        reporter.join();
        QCOMPARE(finished.load(), 400);
        QCOMPARE(probe->cancelledCount(), 400);
        QCOMPARE(probe->liveCount(), 0);
    }

    void routeTables_data()
    {
        QTest::addColumn<QByteArray>("ipv4");
        QTest::addColumn<QByteArray>("ipv6");
        QTest::addColumn<bool>("expected");
        QTest::newRow("ipv4 default")
            << ipv4Header + ipv4Row("eth0", "00000000", "0003", "00000000") << QByteArray() << true;
        QTest::newRow("ipv4 subnet only")
            << ipv4Header + ipv4Row("eth0", "000200C0", "0001", "00FFFFFF") << QByteArray() << false;
        QTest::newRow("ipv4 default down")
            << ipv4Header + ipv4Row("eth0", "00000000", "0002", "00000000") << QByteArray() << false;
        QTest::newRow("ipv4 default reject")
            << ipv4Header + ipv4Row("eth0", "00000000", "0201", "00000000") << QByteArray() << false;
        QTest::newRow("ipv4 default on loopback")
            << ipv4Header + ipv4Row("lo", "00000000", "0003", "00000000") << QByteArray() << false;
        QTest::newRow("header only") << ipv4Header << QByteArray() << false;
        QTest::newRow("garbage") << QByteArray("\x01\x02 nonsense") << QByteArray("x y z") << false;
        QTest::newRow("ipv6 default") << ipv4Header << ipv6Row(zero128, "00", "00000003", "wlan0") << true;
        QTest::newRow("ipv6 unreachable default on lo")
            << ipv4Header << ipv6Row(zero128, "00", "00200200", "lo") << false;
        QTest::newRow("ipv6 reject default")
            << ipv4Header << ipv6Row(zero128, "00", "00200201", "eth0") << false;
        QTest::newRow("ipv6 prefix route")
            << ipv4Header << ipv6Row("fd000000000000000000000000000000", "40", "00000001", "eth0") << false;
    }
    void routeTables()
    {
        QFETCH(QByteArray, ipv4);
        QFETCH(QByteArray, ipv6);
        QFETCH(bool, expected);
        QCOMPARE(RouteNetworkProbe::ipv4TableHasDefaultRoute(ipv4) ||
                     RouteNetworkProbe::ipv6TableHasDefaultRoute(ipv6),
                 expected);
    }

    void routeProbeReadsInjectedFiles_data()
    {
        QTest::addColumn<bool>("writeIpv4");
        QTest::addColumn<bool>("writeIpv6");
        QTest::addColumn<bool>("expected");
        QTest::newRow("no files") << false << false << false;
        QTest::newRow("ipv4 only") << true << false << true;
        QTest::newRow("ipv6 only") << false << true << true;
    }
    void routeProbeReadsInjectedFiles()
    {
        QFETCH(bool, writeIpv4);
        QFETCH(bool, writeIpv6);
        QFETCH(bool, expected);
        const QString folder =
            m_root.filePath(QStringLiteral("routes-") + QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        const QString v4 = folder + "/route";
        const QString v6 = folder + "/ipv6_route";
        auto write = [](const QString& path, const QByteArray& bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        if (writeIpv4) {
            write(v4, ipv4Header + ipv4Row("eth0", "00000000", "0003", "00000000"));
        }
        if (writeIpv6) {
            write(v6, ipv6Row(zero128, "00", "00000003", "eth0"));
        }
        EnvironmentService service(pathsForThisTest(), std::make_shared<RouteNetworkProbe>(v4, v6), 5s);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(service.checkNetworkConnectivity(), expected);
        QVERIFY(timer.elapsed() < 5000);
    }
};

QTEST_GUILESS_MAIN(TestEnvironmentService)
#include "tst_environmentservice.moc"
