#include "platform/updater/AppcastParser.h"

#include "platform/updater/AppcastDate.h"
#include "platform/updater/UpdaterError.h"
#include "platform/Logger.h"

#include <QLocale>
#include <QRegularExpression>
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

// Pages the user may be sent to; a feed must not point them at local files.
QUrl webUrl(const QString& value, const QUrl& feedUrl)
{
    const QUrl url = resolvedUrl(value, feedUrl);
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        return {};
    return url;
}

// Well-made feeds write RFC 822 dates; a few write ISO 8601 ones.
QDateTime pubDate(const QString& value)
{
    const QDateTime date = AppcastDate::parse(value);
    return date.isValid() ? date : QDateTime::fromString(value, Qt::ISODate);
}

// How well a text's xml:lang fits the user's language: the language itself beats
// its family ("pt-PT" for "pt-BR"), which beats no language, which beats another.
int languageRank(const QXmlStreamReader& xml, const QString& language)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    const QLatin1StringView xmlNamespace("http://www.w3.org/XML/1998/namespace");
    if (!attributes.hasAttribute(xmlNamespace, QLatin1String("lang")))
        return 1;
    QString lang = attributes.value(xmlNamespace, QLatin1String("lang")).toString().trimmed();
    lang.replace(u'_', u'-');
    if (lang.isEmpty())
        return 1;
    if (lang.compare(language, Qt::CaseInsensitive) == 0)
        return 3;
    const QString family = lang.section(u'-', 0, 0);
    return family.compare(language.section(u'-', 0, 0), Qt::CaseInsensitive) == 0 ? 2 : 0;
}

struct PendingItem {
    AppcastItem item;
    QString language;
    QString enclosureVersion;
    QString enclosureShortVersion;
    bool hasEnclosure = false;
    bool hasOtherEnclosures = false; // for another system, or deltas
    int notesRank = -1;
    int descriptionRank = -1;
};

void readEnclosure(QXmlStreamReader& xml, PendingItem& pending, const QUrl& feedUrl)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    const QUrl url = resolvedUrl(attributes.value(QLatin1String("url")).toString().trimmed(), feedUrl);
    if (url.scheme() == QLatin1String("file"))
        fail(QStringLiteral("an enclosure points to the local file ") + url.toString());
    const QString os = attributes.value(kSparkle, QLatin1String("os")).toString().trimmed();
    const bool forMac = os.isEmpty() || os.compare(QLatin1String("macos"), Qt::CaseInsensitive) == 0;
    // A delta only updates one older version, and never stands in for the full archive.
    if (!forMac || attributes.hasAttribute(kSparkle, QLatin1String("deltaFrom"))) {
        pending.hasOtherEnclosures = true;
    } else if (!pending.hasEnclosure) {
        // Only the first enclosure for this system is the item's download.
        pending.hasEnclosure = true;
        pending.item.fileUrl = url;
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
        QStringList* versions = nullptr;
        if (isSparkle(xml, QLatin1String("belowVersion")))
            versions = &item.informationalBelowVersions;
        else if (isSparkle(xml, QLatin1String("version")))
            versions = &item.informationalVersions;
        if (!versions) {
            xml.skipCurrentElement();
            continue;
        }
        const QString version = text(xml);
        if (!version.isEmpty())
            versions->append(version);
    }
    // With versions named the item is informational only for those, which the
    // selection decides once it knows the installed version.
    if (!item.informationalBelowVersions.isEmpty() || !item.informationalVersions.isEmpty())
        item.informationOnly = false;
}

void readReleaseNotesLink(QXmlStreamReader& xml, PendingItem& pending, const QUrl& feedUrl)
{
    const int rank = languageRank(xml, pending.language);
    const QUrl url = webUrl(text(xml), feedUrl);
    if (!url.isEmpty() && rank > pending.notesRank) {
        pending.item.releaseNotesUrl = url;
        pending.notesRank = rank;
    }
}

void readDescription(QXmlStreamReader& xml, PendingItem& pending)
{
    const int rank = languageRank(xml, pending.language);
    QString description = xml.readElementText(QXmlStreamReader::IncludeChildElements);
    if (rank > pending.descriptionRank) {
        pending.item.itemDescription = std::move(description);
        pending.descriptionRank = rank;
    }
}

QStringList requirementList(const QString& value)
{
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    return value.split(separators, Qt::SkipEmptyParts);
}

std::optional<AppcastItem> readItem(QXmlStreamReader& xml, const QUrl& feedUrl, const QString& language)
{
    PendingItem pending;
    pending.language = language;
    AppcastItem& item = pending.item;
    while (xml.readNextStartElement()) {
        if (isPlain(xml, QLatin1String("title")))
            item.title = text(xml);
        else if (isPlain(xml, QLatin1String("link")))
            item.infoUrl = webUrl(text(xml), feedUrl);
        else if (isPlain(xml, QLatin1String("description")))
            readDescription(xml, pending);
        else if (isPlain(xml, QLatin1String("pubDate")))
            item.date = pubDate(text(xml));
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
        else if (isSparkle(xml, QLatin1String("minimumUpdateVersion")))
            item.minimumUpdateVersion = text(xml);
        else if (isSparkle(xml, QLatin1String("hardwareRequirements")))
            item.hardwareRequirements = requirementList(text(xml));
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
    if (!pending.hasEnclosure && pending.hasOtherEnclosures) {
        Logger::debug(QStringLiteral("Appcast item for another system, or with deltas only, skipped: ") +
                      item.title);
        return std::nullopt;
    }
    return item;
}

} // namespace

QString AppcastParser::userLanguage()
{
    return QLocale().bcp47Name();
}

QList<AppcastItem> AppcastParser::parse(const QByteArray& data, const QUrl& feedUrl)
{
    return parse(data, feedUrl, userLanguage());
}

QList<AppcastItem> AppcastParser::parse(const QByteArray& data, const QUrl& feedUrl, const QString& language)
{
    QString wanted = language.trimmed();
    wanted.replace(u'_', u'-');
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
                    if (std::optional<AppcastItem> item = readItem(xml, feedUrl, wanted))
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
