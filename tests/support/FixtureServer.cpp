#include "FixtureServer.h"

#include "FixtureEngine.h"
#include "FixtureRouteTable.h"
#include "TestConfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QThread>

#include <openssl/crypto.h>

namespace norvelle::test {

namespace {

QByteArray readFixture(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("FixtureServer: cannot read %s", qPrintable(path));
    return file.readAll();
}

// OpenSSL frees what it keeps for a thread when the thread exits, and QThread::wait() returns
// before that: a process that ends right after a server (its last test) could still hold that
// state, and LeakSanitizer reported it leaked. So the thread frees it itself, once its
// connections are gone.
class ServingThread : public QThread {
protected:
    void run() override
    {
        exec();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        OPENSSL_thread_stop();
    }
};

QSslConfiguration serverTlsConfiguration()
{
    if (!QSslSocket::supportsSsl())
        qFatal("FixtureServer: TLS is not available (no Qt TLS backend with OpenSSL)");
    const QString dir = QStringLiteral(NORVELLE_TEST_DATA_DIR "/tls/");
    const QSslCertificate certificate(readFixture(dir + QStringLiteral("server.pem")), QSsl::Pem);
    const QSslKey key(readFixture(dir + QStringLiteral("server.key")), QSsl::Rsa, QSsl::Pem);
    if (certificate.isNull() || key.isNull())
        qFatal("FixtureServer: the test certificate or key under tests/data/tls does not load");
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(certificate);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return configuration;
}

} // namespace

FixtureServer::Reply FixtureServer::Reply::redirect(const QString& location, int status)
{
    Reply reply;
    reply.status = status;
    reply.headers.emplaceBack("Location", location.toUtf8());
    return reply;
}

QByteArray FixtureServer::Request::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

void FixtureServer::setKeepAlive(bool on)
{
    m_table->keepAlive = on;
}

int FixtureServer::connectionCount() const
{
    return m_table->connections;
}

int FixtureServer::openConnectionCount() const
{
    return m_table->openConnections;
}

FixtureServer::FixtureServer(Tls tls) : FixtureServer(tls, 0)
{
    if (!isListening())
        qFatal("FixtureServer: cannot listen on 127.0.0.1");
}

FixtureServer::FixtureServer(Tls tls, quint16 port) : FixtureServer(tls, port, 0) {}

FixtureServer::FixtureServer(Tls tls, quint16 port, int threads)
    : m_tls(tls), m_table(std::make_shared<FixtureRouteTable>())
{
    for (int i = 0; i < threads; ++i) {
        auto& thread = m_workerThreads.emplace_back(std::make_unique<ServingThread>());
        thread->setObjectName(QStringLiteral("FixtureWorker"));
        auto* worker = new QObject;
        worker->moveToThread(thread.get());
        m_workers.push_back(worker);
        thread->start();
    }
    std::optional<QSslConfiguration> configuration;
    if (tls == Tls::on)
        configuration = serverTlsConfiguration();

    m_thread = std::make_unique<ServingThread>();
    m_thread->setObjectName(QStringLiteral("FixtureServer"));
    m_engine = new FixtureEngine(m_table, configuration);
    m_engine->setWorkers(m_workers);
    m_engine->moveToThread(m_thread.get());
    m_thread->start();

    bool listening = false;
    QMetaObject::invokeMethod(
        m_engine,
        [this, &listening, port] {
            listening = m_engine->listen(QHostAddress::LocalHost, port);
            m_port = listening ? m_engine->serverPort() : 0;
        },
        Qt::BlockingQueuedConnection);
}

FixtureServer::~FixtureServer()
{
    // The thread deletes deferred objects as it finishes, so the engine and its
    // connections (stalled ones included) go away on their own thread.
    m_engine->deleteLater();
    m_thread->quit();
    m_thread->wait();
    for (size_t i = 0; i < m_workers.size(); ++i) {
        m_workers[i]->deleteLater();
        m_workerThreads[i]->quit();
        m_workerThreads[i]->wait();
    }
}

void FixtureServer::route(const QString& pathAndQuery, Reply reply)
{
    m_table->set(pathAndQuery, [reply = std::move(reply)](const Request&) { return reply; });
}

void FixtureServer::route(const QString& pathAndQuery, Handler handler)
{
    m_table->set(pathAndQuery, std::move(handler));
}

void FixtureServer::removeRoute(const QString& pathAndQuery)
{
    m_table->remove(pathAndQuery);
}

void FixtureServer::clearRoutes()
{
    m_table->clear();
}

QUrl FixtureServer::url(const QString& pathAndQuery) const
{
    const QString path = pathAndQuery.startsWith(u'/') ? pathAndQuery : u'/' + pathAndQuery;
    const QString scheme = isTls() ? QStringLiteral("https") : QStringLiteral("http");
    return QUrl(scheme + QStringLiteral("://127.0.0.1:") + QString::number(m_port) + path, QUrl::StrictMode);
}

QList<FixtureServer::Request> FixtureServer::requests() const
{
    return m_table->requests();
}

QList<FixtureServer::Request> FixtureServer::requests(const QString& path) const
{
    QList<Request> matching;
    for (const Request& request : m_table->requests())
        if (request.path == path)
            matching.append(request);
    return matching;
}

void FixtureServer::clearRequests()
{
    m_table->clearRequests();
}

QString FixtureServer::testCaFile()
{
    return QStringLiteral(NORVELLE_TEST_DATA_DIR "/tls/ca.pem");
}

} // namespace norvelle::test
