#include "UpdaterFixture.h"

#include "BundleBuilder.h"

#include <QDir>
#include <QFile>

namespace norvelle::test {

namespace {

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace

QString UpdaterFixture::writeBundle(const QString& directory, const QString& name, const QVariantMap& info,
                                    const QByteArray& payload, bool binary)
{
    QString baseName = name;
    if (baseName.endsWith(QLatin1String(".app")))
        baseName.chop(4);
    BundleBuilder builder(directory, baseName);
    builder.remove(QStringLiteral("CFBundleName")).binary(binary);
    for (auto it = info.begin(); it != info.end(); ++it)
        builder.set(it.key(), it.value());
    const QString bundle = builder.build();
    const QString executable = bundle + QStringLiteral("/Contents/MacOS/app");
    if (bundle.isEmpty() || !QDir().mkpath(bundle + QStringLiteral("/Contents/MacOS")) ||
        !writeFile(executable, payload))
        qFatal("cannot write the test bundle %s", qPrintable(name));
    QFile::setPermissions(executable, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadGroup | QFile::ExeGroup);
    return bundle;
}

QVariantMap UpdaterFixture::info(const QString& identifier, const QString& version, const QVariantMap& extra)
{
    QVariantMap values{{QStringLiteral("CFBundleIdentifier"), identifier},
                       {QStringLiteral("CFBundleVersion"), version},
                       {QStringLiteral("CFBundleShortVersionString"), version},
                       {QStringLiteral("CFBundleExecutable"), QStringLiteral("app")}};
    for (auto it = extra.begin(); it != extra.end(); ++it)
        values.insert(it.key(), it.value());
    return values;
}

QString UpdaterFixture::archiveBundle(const QString& workDirectory, const QString& bundleName,
                                      const QVariantMap& info, const QString& archiveName,
                                      UpdaterArchiveBuilder::Format format, const QByteArray& payload)
{
    const QString build = QDir(workDirectory).filePath(QStringLiteral("build-") + archiveName);
    QDir(build).removeRecursively();
    const QString bundle = writeBundle(build, bundleName, info, payload);
    const QString archive = QDir(workDirectory).filePath(archiveName);
    UpdaterArchiveBuilder builder;
    builder.addTree(bundle, bundleName);
    if (!builder.write(archive, format))
        qFatal("cannot write the test archive %s", qPrintable(archive));
    return archive;
}

QByteArray UpdaterFixture::appcast(const QList<FeedItem>& items)
{
    QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">\n"
        "<channel><title>Test feed</title>\n");
    for (const FeedItem& item : items) {
        const QString shortVersion = item.shortVersion.isEmpty() ? item.version : item.shortVersion;
        xml += QStringLiteral("<item><title>Version ") + escaped(shortVersion) + QStringLiteral("</title>\n");
        if (!item.oldStyle) {
            xml += QStringLiteral("<sparkle:version>") + escaped(item.version) +
                   QStringLiteral("</sparkle:version>") + QStringLiteral("<sparkle:shortVersionString>") +
                   escaped(shortVersion) + QStringLiteral("</sparkle:shortVersionString>\n");
        }
        if (!item.url.isEmpty()) {
            xml += QStringLiteral("<enclosure url=\"") + escaped(item.url) + QStringLiteral("\" length=\"") +
                   QString::number(item.length) + QStringLiteral("\" type=\"application/octet-stream\"");
            if (!item.signature.isEmpty())
                xml += QStringLiteral(" sparkle:edSignature=\"") + escaped(item.signature) +
                       QStringLiteral("\"");
            if (item.oldStyle)
                xml += QStringLiteral(" sparkle:version=\"") + escaped(item.version) +
                       QStringLiteral("\" sparkle:shortVersionString=\"") + escaped(shortVersion) +
                       QStringLiteral("\"");
            xml += QStringLiteral("/>\n");
        }
        xml += item.extra + QStringLiteral("</item>\n");
    }
    xml += QStringLiteral("</channel></rss>\n");
    return xml.toUtf8();
}

} // namespace norvelle::test
