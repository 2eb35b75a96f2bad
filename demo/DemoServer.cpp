#include "DemoServer.h"

#include <QDirIterator>
#include <QFile>
#include <QHash>

namespace norvelle::demo {

namespace {

QByteArray contentType(const QString& path)
{
    if (path.endsWith(QLatin1String(".json")))
        return "application/json";
    if (path.endsWith(QLatin1String(".xml")))
        return "application/rss+xml";
    if (path.endsWith(QLatin1String(".html")))
        return "text/html; charset=utf-8";
    return "application/octet-stream";
}

} // namespace

int DemoServer::route(test::FixtureServer& server, const QString& folder, std::chrono::milliseconds latency)
{
    QHash<QString, QByteArray> lookups;
    int count = 0;
    QDirIterator files(folder, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString relative = path.mid(folder.size());
        const QByteArray body = file.readAll();
        if (relative.startsWith(QLatin1String("/lookup/"))) {
            lookups.insert(relative.section(u'/', -1).chopped(5), body); // without ".json"
            continue;
        }
        server.route(relative,
                     test::FixtureServer::Reply{.body = body,
                                                .headers = {{"Content-Type", contentType(relative)}},
                                                .delay = latency});
        ++count;
    }
    server.route(QStringLiteral("/lookup"), [lookups, latency](const test::FixtureServer::Request& request) {
        const QString bundleId =
            request.queryItems().queryItemValue(QStringLiteral("bundleId"), QUrl::FullyDecoded);
        const QByteArray body =
            lookups.value(bundleId, QByteArrayLiteral("{\"resultCount\":0,\"results\":[]}"));
        return test::FixtureServer::Reply{
            .body = body, .headers = {{"Content-Type", "application/json"}}, .delay = latency};
    });
    return count + 1;
}

} // namespace norvelle::demo
