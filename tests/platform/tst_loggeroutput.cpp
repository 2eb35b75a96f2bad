#include "FakeDockBadge.h"
#include "FakeNetworkProbe.h"
#include "FakeTerminalLauncher.h"

#include "app/DependencyContainer.h"

#include "platform/Paths.h"
#include "platform/SettingsStore.h"
#include "platform/SystemLogSocket.h"
#include "platform/Logger.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
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
