#include "FixtureConnection.h"

#include "FixtureRouteTable.h"

#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <array>

namespace norvelle::test {

namespace {

constexpr qsizetype maxHeadSize = 64 * 1024;

quint32 crc32(const QByteArray& data)
{
    static const auto table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data)
        crc = table[(crc ^ quint8(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

// gzip (RFC 1952) around the raw deflate stream that qCompress wraps in its own
// 4-byte length and the zlib header and checksum.
QByteArray gzip(const QByteArray& data)
{
    const QByteArray zlib = qCompress(data, 6);
    const QByteArray deflate = zlib.mid(4 + 2, zlib.size() - 4 - 2 - 4);
    QByteArray out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
    out += deflate;
    char trailer[8];
    qToLittleEndian<quint32>(crc32(data), trailer);
    qToLittleEndian<quint32>(quint32(data.size()), trailer + 4);
    out.append(trailer, 8);
    return out;
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 304:
        return "Not Modified";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

bool hasHeader(const FixtureServer::Headers& headers, const QByteArray& name)
{
    for (const auto& header : headers)
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

FixtureConnection::FixtureConnection(QTcpSocket* socket, std::shared_ptr<FixtureRouteTable> table,
                                     QObject* parent)
    : QObject(parent), m_socket(socket), m_table(std::move(table))
{
    ++m_table->openConnections;
    m_socket->setParent(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &FixtureConnection::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    // A failed TLS handshake or a client that hangs up mid-answer ends the connection.
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] {
        m_socket->abort();
        deleteLater();
    });
}

FixtureConnection::~FixtureConnection()
{
    --m_table->openConnections;
}

void FixtureConnection::onReadyRead()
{
    m_buffer += m_socket->readAll();
    if (m_requestRead)
        return;
    const qsizetype headEnd = m_buffer.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        if (m_buffer.size() > maxHeadSize)
            m_socket->abort();
        return;
    }

    FixtureServer::Request request;
    const QList<QByteArray> lines = m_buffer.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    const QByteArray target = requestLine.value(1);
    const qsizetype mark = target.indexOf('?');
    request.path = QUrl::fromPercentEncoding(mark < 0 ? target : target.left(mark));
    request.query = mark < 0 ? QString() : QString::fromLatin1(target.mid(mark + 1));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.emplaceBack(line.left(colon).trimmed(), line.mid(colon + 1).trimmed());
    }
    const qsizetype bodyLength = request.header("Content-Length").toLongLong();
    if (m_buffer.size() < headEnd + 4 + bodyLength)
        return; // the rest of the body is still on its way
    request.body = m_buffer.mid(headEnd + 4, bodyLength);
    m_buffer.remove(0, headEnd + 4 + bodyLength);
    m_requestRead = true;

    const FixtureServer::Reply reply = m_table->answer(request);
    const bool headOnly = request.method == "HEAD";
    if (reply.delay.count() > 0)
        QTimer::singleShot(reply.delay, this, [this, reply, headOnly] { send(reply, headOnly); });
    else
        send(reply, headOnly);
}

void FixtureConnection::send(const FixtureServer::Reply& reply, bool headOnly)
{
    FixtureServer::Headers headers = reply.headers;
    const QByteArray body = reply.gzip ? gzip(reply.body) : reply.body;
    if (reply.gzip)
        headers.emplaceBack("Content-Encoding", "gzip");
    if (!reply.omitContentLength && !hasHeader(headers, "Content-Length"))
        headers.emplaceBack("Content-Length", QByteArray::number(body.size()));
    const bool keepAlive = m_table->keepAlive && !headOnly && reply.stallAfter < 0 && reply.chunkSize <= 0 &&
                           !reply.omitContentLength;
    if (!keepAlive)
        headers.emplaceBack("Connection", "close");

    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    for (const auto& [name, value] : headers)
        head += name + ": " + value + "\r\n";
    head += "\r\n";

    if (headOnly) {
        m_socket->write(head);
        m_socket->disconnectFromHost();
    } else if (reply.stallAfter >= 0) {
        // Hold the connection open with part of the body sent; the client must time out.
        m_socket->write(head + body.left(reply.stallAfter));
    } else if (reply.chunkSize > 0) {
        m_socket->write(head);
        m_body = body;
        m_sent = 0;
        m_chunkSize = reply.chunkSize;
        m_chunkTimer = new QTimer(this);
        m_chunkTimer->setInterval(reply.chunkInterval);
        connect(m_chunkTimer, &QTimer::timeout, this, &FixtureConnection::sendNextChunk);
        m_chunkTimer->start();
    } else if (keepAlive) {
        m_socket->write(head + body);
        m_requestRead = false;
        if (!m_buffer.isEmpty())
            QMetaObject::invokeMethod(this, &FixtureConnection::onReadyRead, Qt::QueuedConnection);
    } else {
        m_socket->write(head + body);
        m_socket->disconnectFromHost(); // after the buffered bytes are written
    }
}

void FixtureConnection::sendNextChunk()
{
    // From the shared body where it lies: taking the sent bytes off its front would copy the
    // whole answer before the first piece goes out, which no real host makes its clients wait for.
    const qsizetype size = std::min(m_chunkSize, m_body.size() - m_sent);
    m_socket->write(m_body.constData() + m_sent, size);
    m_sent += size;
    if (m_sent == m_body.size()) {
        m_chunkTimer->stop();
        m_socket->disconnectFromHost();
    }
}

} // namespace norvelle::test
