#include "platform/updater/AppcastParser.h"

#include "platform/updater/UpdaterError.h"
#include "util/Logger.h"

#include <QXmlStreamReader>

namespace norvelle {

namespace {

const QString kSparkle = QString::fromLatin1(AppcastParser::sparkleNamespace);

[[noreturn]] void fail(const QString& why)
{
    throw UpdaterError(UpdaterError::Kind::malformedAppcast,
                       QStringLiteral("The update feed is not a valid appcast: ") + why);
}

bool isPlain(const QXmlStreamReader& xml, QLatin1StringView name)
{
    return xml.namespaceUri().isEmpty() && xml.name() == name;
}

bool isSparkle(const QXmlStreamReader& xml, QLatin1StringView name)
{
    return xml.namespaceUri() == kSparkle && xml.name() == name;
}

QString text(QXmlStreamReader& xml)
{
    return xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
}

// An address from the feed, relative ones taken relative to the feed itself.
QUrl resolvedUrl(const QString& value, const QUrl& feedUrl)
{
    if (value.isEmpty())
        return {};
    const QUrl url(value, QUrl::StrictMode);
    if (!url.isValid())
        return {};
    return feedUrl.resolved(url);
}

// pubDate is RFC 822 in well-made feeds; many name the zone instead of an offset.
QDateTime parseDate(QString value)
{
    QDateTime date = QDateTime::fromString(value, Qt::RFC2822Date);
    if (date.isValid())
        return date;
    for (const char* zone : {" GMT", " UTC", " UT", " Z"}) {
        if (value.endsWith(QLatin1String(zone))) {
            value.chop(int(qstrlen(zone)));
            date = QDateTime::fromString(value + QStringLiteral(" +0000"), Qt::RFC2822Date);
            if (date.isValid())
                return date;
        }
    }
    return QDateTime::fromString(value, Qt::ISODate);
}

struct PendingItem {
    AppcastItem item;
    QString enclosureVersion;
    QString enclosureShortVersion;
    bool hasEnclosure = false;
    bool hasLocalisedNotesOnly = false;
};

void readEnclosure(QXmlStreamReader& xml, PendingItem& pending, const QUrl& feedUrl)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    // Only the first enclosure is the item's download.
    if (!pending.hasEnclosure) {
        pending.hasEnclosure = true;
        pending.item.fileUrl =
            resolvedUrl(attributes.value(QLatin1String("url")).toString().trimmed(), feedUrl);
        bool ok = false;
        const quint64 length =
            attributes.value(QLatin1String("length")).toString().trimmed().toULongLong(&ok);
        pending.item.contentLength = ok ? length : 0;
        pending.item.edSignature =
            attributes.value(kSparkle, QLatin1String("edSignature")).toString().trimmed();
        pending.enclosureVersion = attributes.value(kSparkle, QLatin1String("version")).toString().trimmed();
        pending.enclosureShortVersion =
            attributes.value(kSparkle, QLatin1String("shortVersionString")).toString().trimmed();
        const QString type =
            attributes.value(kSparkle, QLatin1String("installationType")).toString().trimmed();
        if (!type.isEmpty() && pending.item.installationType.isEmpty())
            pending.item.installationType = type;
    }
    xml.skipCurrentElement();
}

void readInformational(QXmlStreamReader& xml, AppcastItem& item)
{
    item.informationOnly = true;
    while (xml.readNextStartElement()) {
        if (isSparkle(xml, QLatin1String("belowVersion"))) {
            const QString version = text(xml);
            if (!version.isEmpty())
                item.informationalBelowVersions.append(version);
        } else {
            xml.skipCurrentElement();
        }
    }
    // With version limits the item is informational only below them, which the
    // selection decides once it knows the installed version.
    if (!item.informationalBelowVersions.isEmpty())
        item.informationOnly = false;
}

void readReleaseNotesLink(QXmlStreamReader& xml, PendingItem& pending, const QUrl& feedUrl)
{
    const bool localised = xml.attributes().hasAttribute(
        QLatin1String("http://www.w3.org/XML/1998/namespace"), QLatin1String("lang"));
    const QUrl url = resolvedUrl(text(xml), feedUrl);
    if (url.isEmpty())
        return;
    // A link without a language wins over localised ones; otherwise the first counts.
    if (pending.item.releaseNotesUrl.isEmpty() || (!localised && pending.hasLocalisedNotesOnly)) {
        pending.item.releaseNotesUrl = url;
        pending.hasLocalisedNotesOnly = localised;
    }
}

std::optional<AppcastItem> readItem(QXmlStreamReader& xml, const QUrl& feedUrl)
{
    PendingItem pending;
    AppcastItem& item = pending.item;
    while (xml.readNextStartElement()) {
        if (isPlain(xml, QLatin1String("title")))
            item.title = text(xml);
        else if (isPlain(xml, QLatin1String("link")))
            item.infoUrl = resolvedUrl(text(xml), feedUrl);
        else if (isPlain(xml, QLatin1String("description")))
            item.itemDescription = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        else if (isPlain(xml, QLatin1String("pubDate")))
            item.date = parseDate(text(xml));
        else if (isPlain(xml, QLatin1String("enclosure")))
            readEnclosure(xml, pending, feedUrl);
        else if (isSparkle(xml, QLatin1String("version")))
            item.versionString = text(xml);
        else if (isSparkle(xml, QLatin1String("shortVersionString")))
            item.displayVersionString = text(xml);
        else if (isSparkle(xml, QLatin1String("releaseNotesLink")))
            readReleaseNotesLink(xml, pending, feedUrl);
        else if (isSparkle(xml, QLatin1String("channel")))
            item.channel = text(xml);
        else if (isSparkle(xml, QLatin1String("minimumSystemVersion")))
            item.minimumSystemVersion = text(xml);
        else if (isSparkle(xml, QLatin1String("maximumSystemVersion")))
            item.maximumSystemVersion = text(xml);
        else if (isSparkle(xml, QLatin1String("installationType")))
            item.installationType = text(xml);
        else if (isSparkle(xml, QLatin1String("informationalUpdate")))
            readInformational(xml, item);
        else if (isSparkle(xml, QLatin1String("deltas"))) {
            item.hasDeltas = true;
            xml.skipCurrentElement();
        } else
            xml.skipCurrentElement();
    }
    if (xml.hasError())
        return std::nullopt;

    // Older feeds carry the versions on the enclosure; the elements take precedence.
    if (item.versionString.isEmpty())
        item.versionString = pending.enclosureVersion;
    if (item.displayVersionString.isEmpty())
        item.displayVersionString = pending.enclosureShortVersion;
    if (item.displayVersionString.isEmpty())
        item.displayVersionString = item.versionString;
    // An item with a page but nothing to download only informs.
    if (item.fileUrl.isEmpty() && !item.infoUrl.isEmpty())
        item.informationOnly = true;

    if (item.versionString.isEmpty()) {
        Logger::debug(QStringLiteral("Appcast item without a version skipped: ") + item.title);
        return std::nullopt;
    }
    return item;
}

} // namespace

QList<AppcastItem> AppcastParser::parse(const QByteArray& data, const QUrl& feedUrl)
{
    QXmlStreamReader xml(data);
    QList<AppcastItem> items;
    if (xml.readNextStartElement()) {
        if (!isPlain(xml, QLatin1String("rss")))
            fail(QStringLiteral("the document is no RSS feed"));
        while (xml.readNextStartElement()) {
            if (!isPlain(xml, QLatin1String("channel"))) {
                xml.skipCurrentElement();
                continue;
            }
            while (xml.readNextStartElement()) {
                if (isPlain(xml, QLatin1String("item"))) {
                    if (std::optional<AppcastItem> item = readItem(xml, feedUrl))
                        items.append(std::move(*item));
                } else {
                    xml.skipCurrentElement();
                }
            }
        }
    }
    // Read to the end so that damage after the last item is noticed too.
    while (!xml.atEnd() && !xml.hasError())
        xml.readNext();
    if (xml.hasError()) {
        fail(xml.errorString() + QStringLiteral(" (line ") + QString::number(xml.lineNumber()) +
             QLatin1Char(')'));
    }
    return items;
}

} // namespace norvelle
