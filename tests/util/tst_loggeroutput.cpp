#include "FakeDockBadge.h"
#include "FakeNetworkProbe.h"
#include "FakeTerminalLauncher.h"
#include "TempSettings.h"

#include "app/DependencyContainer.h"

#include "platform/Paths.h"
#include "platform/SettingsStore.h"
#include "platform/SystemLogSocket.h"
#include "util/Logger.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace norvelle;
using namespace norvelle::test;

namespace {

// A Unix socket bound at `path`, closed when it goes.
class BoundSocket {
public:
    BoundSocket(const QByteArray& path, int type)
    {
        m_fd = ::socket(AF_UNIX, type, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
        m_bound = ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                  (type != SOCK_STREAM || ::listen(m_fd, 1) == 0);
    }
    ~BoundSocket() { ::close(m_fd); }
    BoundSocket(const BoundSocket&) = delete;
    BoundSocket& operator=(const BoundSocket&) = delete;
    bool isBound() const { return m_bound; }

private:
    int m_fd = -1;
    bool m_bound = false;
};

// What the process writes to standard output while `fn` runs.
template <typename F> QByteArray standardOutputOf(F&& fn)
{
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("stdout")).toLocal8Bit();
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    FILE* capture = std::fopen(path.constData(), "w");
    ::dup2(::fileno(capture), STDOUT_FILENO);
    fn();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    std::fclose(capture);
    QFile file(QString::fromLocal8Bit(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestLoggerOutput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void systemLogSocket_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("reachable");
        QTest::newRow("no socket") << "missing" << false;
        QTest::newRow("a plain file") << "file" << false;
        QTest::newRow("datagram socket") << "datagram" << true;
        QTest::newRow("stream socket") << "stream" << true;
        QTest::newRow("path too long for a socket") << "long" << false;
    }

    // Without a socket to talk to, the lines go to standard error instead of nowhere.
    void systemLogSocket()
    {
        QFETCH(QString, kind);
        QFETCH(bool, reachable);
        QTemporaryDir dir;
        QByteArray path = dir.filePath(QStringLiteral("log")).toLocal8Bit();
        std::unique_ptr<BoundSocket> socket;
        if (kind == QLatin1String("file")) {
            QFile file(QString::fromLocal8Bit(path));
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (kind == QLatin1String("datagram") || kind == QLatin1String("stream")) {
            socket = std::make_unique<BoundSocket>(path, kind == QLatin1String("datagram") ? SOCK_DGRAM : SOCK_STREAM);
            QVERIFY(socket->isBound());
        } else if (kind == QLatin1String("long")) {
            path = QByteArray(200, 'x');
        }
        QCOMPARE(SystemLogSocket::reachable(path), reachable);
    }

    // A missing Desktop folder is made for the first file; one that cannot be made is reported
    // once, however many lines follow.
    void desktopFolder_data()
    {
        QTest::addColumn<bool>("creatable");
        QTest::newRow("missing") << true;
        QTest::newRow("cannot be made") << false;
    }

    void desktopFolder()
    {
        QFETCH(bool, creatable);
        QTemporaryDir root;
        QFile blocker(root.filePath(QStringLiteral("not-a-folder")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Paths paths = Paths::underRoot(root.path());
        paths.desktopFolder = creatable ? root.filePath(QStringLiteral("home/Desktop"))
                                        : root.filePath(QStringLiteral("not-a-folder/Desktop"));
        TempSettings settings;
        Logger::setPaths(paths);
        Logger::setSettings(&settings.store());

        const QByteArray console = standardOutputOf([] {
            Logger::setDesktopLogFilesEnabled(true);
            for (int i = 0; i < 3; ++i)
                Logger::info(QStringLiteral("line %1").arg(i));
        });
        Logger::setDesktopLogFilesEnabled(false);
        Logger::setSettings(nullptr);

        const QStringList files = QDir(paths.desktopFolder).entryList({QStringLiteral("NorvelleLogs-*.txt")});
        if (creatable) {
            QCOMPARE(files.size(), 1);
            QFile file(QDir(paths.desktopFolder).filePath(files.first()));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll().count("[INFO] line "), 3);
            QVERIFY(!console.contains("Failed to write to log file"));
        } else {
            QVERIFY(files.isEmpty());
            QCOMPARE(console.count("Failed to write to log file"), 1);
        }
    }

    // The application's container hands its settings to the Logger before any service exists,
    // and takes them back when it goes.
    void containerAttachesTheLoggerFirst()
    {
        QTemporaryDir root;
        const QString settingsFile = root.filePath(QStringLiteral("settings.ini"));
        {
            SettingsStore stored(settingsFile);
            stored.setDesktopLogFilesEnabled(true);
        }
        DependencyContainer::Options options;
        options.paths = Paths::underRoot(root.path());
        options.settingsFile = settingsFile;
        options.dockBadge = std::make_shared<FakeDockBadge>();
        options.networkProbe = std::make_shared<FakeNetworkProbe>(FakeNetworkProbe::Mode::up);
        options.terminalLauncher = std::make_shared<FakeTerminalLauncher>();
        options.attachLogger = true;
        Logger::setPaths(options.paths);
        const QString desktop = options.paths.desktopFolder;
        {
            DependencyContainer container(options);
            Logger::info(QStringLiteral("from the first line"));
        }
        Logger::info(QStringLiteral("after the container"));
        const QStringList files = QDir(desktop).entryList({QStringLiteral("NorvelleLogs-*.txt")});
        QCOMPARE(files.size(), 1);
        QFile file(QDir(desktop).filePath(files.first()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("from the first line"));
        QVERIFY(!text.contains("after the container"));
    }
};

QTEST_GUILESS_MAIN(TestLoggerOutput)
#include "tst_loggeroutput.moc"
