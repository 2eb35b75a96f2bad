#include "FixtureRouteTable.h"

#include <algorithm>

namespace norvelle::test {

QString FixtureRouteTable::key(const QString& decodedPath, const QString& query)
{
    if (query.isEmpty())
        return decodedPath;
    // Query items compare decoded and in any order, so "?b=2&a=1" finds the route "?a=1&b=2".
    auto items = QUrlQuery(query).queryItems(QUrl::FullyDecoded);
    std::sort(items.begin(), items.end());
    QString k = decodedPath + QChar(u'?');
    for (const auto& [name, value] : items)
        k += name + QChar(u'\x1f') + value + QChar(u'\x1e');
    return k;
}

static QPair<QString, QString> splitQuery(const QString& pathAndQuery)
{
    const qsizetype mark = pathAndQuery.indexOf(u'?');
    if (mark < 0)
        return {pathAndQuery, {}};
    return {pathAndQuery.left(mark), pathAndQuery.mid(mark + 1)};
}

void FixtureRouteTable::set(const QString& pathAndQuery, FixtureServer::Handler handler)
{
    const auto [path, query] = splitQuery(pathAndQuery);
    std::lock_guard lock(m_mutex);
    m_routes.insert(key(QUrl::fromPercentEncoding(path.toUtf8()), query), std::move(handler));
}

void FixtureRouteTable::remove(const QString& pathAndQuery)
{
    const auto [path, query] = splitQuery(pathAndQuery);
    std::lock_guard lock(m_mutex);
    m_routes.remove(key(QUrl::fromPercentEncoding(path.toUtf8()), query));
}

void FixtureRouteTable::clear()
{
    std::lock_guard lock(m_mutex);
    m_routes.clear();
}

FixtureServer::Reply FixtureRouteTable::answer(const FixtureServer::Request& request)
{
    FixtureServer::Handler handler;
    {
        std::lock_guard lock(m_mutex);
        m_requests.append(request);
        auto it = request.query.isEmpty() ? m_routes.constEnd()
                                          : m_routes.constFind(key(request.path, request.query));
        if (it == m_routes.constEnd())
            it = m_routes.constFind(key(request.path, {}));
        if (it != m_routes.constEnd())
            handler = *it;
    }
    if (!handler)
        return FixtureServer::Reply{404, "No route for " + request.path.toUtf8() + "\n"};
    return handler(request);
}

QList<FixtureServer::Request> FixtureRouteTable::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void FixtureRouteTable::clearRequests()
{
    std::lock_guard lock(m_mutex);
    m_requests.clear();
}

} // namespace norvelle::test
