#include "TestConfig.h"
#include "platform/updater/AppcastParser.h"
#include "platform/updater/AppcastSelector.h"
#include "platform/updater/UpdaterError.h"

#include <QFile>
#include <QtTest>

using namespace norvelle;

namespace {

QByteArray dataFile(const QString& name)
{
    QFile file(QStringLiteral(NORVELLE_TEST_DATA_DIR "/updater/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test data %s", qPrintable(name));
    return file.readAll();
}

QByteArray feed(const QString& items)
{
    return (QStringLiteral(
                "<?xml version=\"1.0\"?><rss version=\"2.0\" "
                "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>") +
            items + QStringLiteral("</channel></rss>"))
        .toUtf8();
}

const QUrl kFeedUrl(QStringLiteral("https://example.org/sample/appcast.xml"));

} // namespace

class AppcastTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsNewStyleFeed();
    void readsOldStyleFeed();
    void ignoresDeltaEnclosures();
    void rejectsMalformedFeeds_data();
    void rejectsMalformedFeeds();
    void selectsNewestApplicableItem_data();
    void selectsNewestApplicableItem();
    void takesTheEnclosureForThisSystem_data();
    void takesTheEnclosureForThisSystem();
    void skipsItemsTheMachineOrVersionCannotTake_data();
    void skipsItemsTheMachineOrVersionCannotTake();
    void picksReleaseNotesInTheUsersLanguage_data();
    void picksReleaseNotesInTheUsersLanguage();
    void readsPublicationDates_data();
    void readsPublicationDates();
};

void AppcastTest::readsNewStyleFeed()
{
    const QList<AppcastItem> items = AppcastParser::parse(dataFile("appcast-new-style.xml"), kFeedUrl);
    QCOMPARE(items.size(), 2);

    const AppcastItem& first = items[0];
    QCOMPARE(first.title, "Version 2.4");
    QCOMPARE(first.versionString, "2417");
    QCOMPARE(first.displayVersionString, "2.4");
    QCOMPARE(first.itemDescription,
             std::optional<QString>("<h2>New</h2><ul><li>Faster &amp; smaller</li></ul>"));
    // Relative links resolve against the feed; the link without a language wins.
    QCOMPARE(first.releaseNotesUrl, QUrl("https://example.org/sample/notes/2.4.html"));
    QCOMPARE(first.fileUrl, QUrl("https://downloads.example.org/Sample-2.4.zip"));
    QCOMPARE(first.contentLength, quint64(1623481));
    QCOMPARE(first.edSignature, "c2lnbmF0dXJl");
    QCOMPARE(first.minimumSystemVersion, "10.13");
    QCOMPARE(first.date, QDateTime(QDate(2024, 10, 9), QTime(12, 30), Qt::UTC));
    QVERIFY(first.hasDeltas);
    QVERIFY(!first.informationOnly);

    const AppcastItem& second = items[1];
    QCOMPARE(second.displayVersionString, "2300");
    QCOMPARE(second.itemDescription, std::nullopt);
    QCOMPARE(second.fileUrl, QUrl("https://example.org/downloads/Sample-2.3.tar.xz"));
    QCOMPARE(second.date, QDateTime(QDate(2024, 9, 2), QTime(8, 0), Qt::UTC));
    QVERIFY(second.releaseNotesUrl.isEmpty());
}

void AppcastTest::readsOldStyleFeed()
{
    const QList<AppcastItem> items = AppcastParser::parse(dataFile("appcast-old-style.xml"), kFeedUrl);
    // The item without any version cannot be compared and is left out.
    QCOMPARE(items.size(), 1);
    const AppcastItem& item = items[0];
    QCOMPARE(item.versionString, "151");
    QCOMPARE(item.displayVersionString, "1.5.1");
    QCOMPARE(item.itemDescription, std::optional<QString>("Fixes a crash."));
    QCOMPARE(item.releaseNotesUrl, QUrl("https://example.org/old/1.5.1.html"));
    QCOMPARE(item.edSignature, "QUJD");
    QCOMPARE(item.contentLength, quint64(0));
    QCOMPARE(item.date.toUTC(), QDateTime(QDate(2017, 3, 14), QTime(8, 15), Qt::UTC));
}

void AppcastTest::ignoresDeltaEnclosures()
{
    const QList<AppcastItem> items = AppcastParser::parse(
        feed(
            "<item><sparkle:version>5</sparkle:version><sparkle:deltas>"
            "<enclosure url=\"https://example.org/5-from-4.delta\" sparkle:deltaFrom=\"4\"/></sparkle:deltas>"
            "<enclosure url=\"https://example.org/5.zip\" sparkle:version=\"4\"/></item>"),
        kFeedUrl);
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0].fileUrl, QUrl("https://example.org/5.zip"));
    QCOMPARE(items[0].versionString, "5"); // the element beats the enclosure attribute
    QVERIFY(items[0].hasDeltas);
}

void AppcastTest::rejectsMalformedFeeds_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not xml") << QByteArray("{\"version\": \"1.0\"}");
    QTest::newRow("html page") << QByteArray("<html><body>Not found</body></html>");
    QTest::newRow("truncated") << feed("<item><sparkle:version>2</sparkle:version>").chopped(20);
    QTest::newRow("mismatched tags") << feed("<item><title>x</item></title>");
    QTest::newRow("undeclared prefix")
        << QByteArray("<rss><channel><item><sparkle:version>2</sparkle:version>"
                      "</item></channel></rss>");
    QTest::newRow("damage after the items")
        << feed("<item><sparkle:version>2</sparkle:version></item>") + "<rss>";
}

void AppcastTest::rejectsMalformedFeeds()
{
    QFETCH(QByteArray, xml);
    try {
        AppcastParser::parse(xml, kFeedUrl);
        QFAIL("parsing succeeded");
    } catch (const UpdaterError& error) {
        QCOMPARE(error.kind(), UpdaterError::Kind::malformedAppcast);
        QVERIFY(error.description().startsWith("The update feed is not a valid appcast: "));
    }
}

void AppcastTest::selectsNewestApplicableItem_data()
{
    QTest::addColumn<QString>("items");
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("system"); // empty: no system version known
    QTest::addColumn<QStringList>("channels");
    QTest::addColumn<QString>("expected"); // empty: no update
    QTest::addColumn<bool>("informational");

    auto item = [](const QString& version, const QString& extra = {}) {
        return QStringLiteral("<item><sparkle:version>%1</sparkle:version>"
                              "<enclosure url=\"https://example.org/%1.zip\"/>%2</item>")
            .arg(version, extra);
    };
    const QString three = item("1.0") + item("1.2") + item("1.1");

    QTest::newRow("newest of several") << three << "1.0"
                                       << "" << QStringList() << "1.2" << false;
    QTest::newRow("installed is newest") << three << "1.2"
                                         << "" << QStringList() << "" << false;
    QTest::newRow("installed is newer than feed") << three << "2.0"
                                                  << "" << QStringList() << "" << false;
    QTest::newRow("pre-release installed") << item("1.0") << "1.0b3"
                                           << "" << QStringList() << "1.0" << false;
    QTest::newRow("empty feed") << ""
                                << "1.0"
                                << "" << QStringList() << "" << false;

    const QString channels = item("1.1") + item("1.3", "<sparkle:channel>beta</sparkle:channel>");
    QTest::newRow("other channel ignored") << channels << "1.0"
                                           << "" << QStringList() << "1.1" << false;
    QTest::newRow("allowed channel") << channels << "1.0"
                                     << "" << QStringList{"beta"} << "1.3" << false;
    QTest::newRow("unrelated channel allowed") << channels << "1.0"
                                               << "" << QStringList{"nightly"} << "1.1" << false;

    const QString systems = item("2.0", "<sparkle:minimumSystemVersion>14.0</sparkle:minimumSystemVersion>") +
                            item("1.5", "<sparkle:maximumSystemVersion>12.9</sparkle:maximumSystemVersion>") +
                            item("1.4");
    QTest::newRow("no system version: limits ignored") << systems << "1.0"
                                                       << "" << QStringList() << "2.0" << false;
    QTest::newRow("system meets minimum") << systems << "1.0"
                                          << "14.2" << QStringList() << "2.0" << false;
    QTest::newRow("system below minimum") << systems << "1.0"
                                          << "13.6" << QStringList() << "1.4" << false;
    QTest::newRow("system within maximum") << systems << "1.0"
                                           << "12.1" << QStringList() << "1.5" << false;
    QTest::newRow("system at minimum") << systems << "1.0"
                                       << "14.0" << QStringList() << "2.0" << false;

    const QString info = QStringLiteral("<sparkle:informationalUpdate/>");
    QTest::newRow("informational") << item("3.0", info) << "1.0"
                                   << "" << QStringList() << "3.0" << true;
    QTest::newRow("link without enclosure") << "<item><sparkle:version>3.0</sparkle:version>"
                                               "<link>https://example.org/buy</link></item>"
                                            << "1.0"
                                            << "" << QStringList() << "3.0" << true;
    const QString below =
        QStringLiteral("<sparkle:informationalUpdate><sparkle:belowVersion>2.0</sparkle:belowVersion>"
                       "</sparkle:informationalUpdate>");
    QTest::newRow("informational below installed") << item("3.0", below) << "1.5"
                                                   << "" << QStringList() << "3.0" << true;
    QTest::newRow("installable above limit") << item("3.0", below) << "2.1"
                                             << "" << QStringList() << "3.0" << false;
    QTest::newRow("installable at the limit") << item("3.0", below) << "2.0"
                                              << "" << QStringList() << "3.0" << false;
    const QString exact =
        QStringLiteral("<sparkle:informationalUpdate><sparkle:version>1.2</sparkle:version>"
                       "<sparkle:version>1.4</sparkle:version></sparkle:informationalUpdate>");
    QTest::newRow("informational for a named version") << item("3.0", exact) << "1.4"
                                                       << "" << QStringList() << "3.0" << true;
    QTest::newRow("installable for other versions") << item("3.0", exact) << "1.3"
                                                    << "" << QStringList() << "3.0" << false;
    QTest::newRow("named version or below a bound")
        << item("3.0", "<sparkle:informationalUpdate><sparkle:version>2.5</sparkle:version>"
                       "<sparkle:belowVersion>2.0</sparkle:belowVersion></sparkle:informationalUpdate>")
        << "2.5"
        << "" << QStringList() << "3.0" << true;
    QTest::newRow("same version spelled longer") << item("2.1.0") << "2.1"
                                                 << "" << QStringList() << "" << false;
}

void AppcastTest::selectsNewestApplicableItem()
{
    QFETCH(QString, items);
    QFETCH(QString, installed);
    QFETCH(QString, system);
    QFETCH(QStringList, channels);
    QFETCH(QString, expected);
    QFETCH(bool, informational);

    AppcastSelector::Criteria criteria;
    criteria.installedVersion = installed;
    if (!system.isEmpty())
        criteria.systemVersion = system;
    criteria.allowedChannels = QSet<QString>(channels.begin(), channels.end());
    const std::optional<AppcastItem> chosen =
        AppcastSelector::newestUpdate(AppcastParser::parse(feed(items), kFeedUrl), criteria);
    if (expected.isEmpty()) {
        QVERIFY2(!chosen, qPrintable(chosen ? chosen->versionString : QString()));
        return;
    }
    QVERIFY(chosen);
    QCOMPARE(chosen->versionString, expected);
    QCOMPARE(chosen->informationOnly, informational);
}

void AppcastTest::takesTheEnclosureForThisSystem_data()
{
    QTest::addColumn<QString>("enclosures");
    QTest::addColumn<QString>("expected"); // the download; "-": item skipped; "refused": feed refused

    auto enclosure = [](const QString& file, const QString& attributes = {}) {
        return QStringLiteral("<enclosure url=\"https://example.org/%1\" %2/>").arg(file, attributes);
    };
    QTest::newRow("no os means macOS") << enclosure("a.zip") << "a.zip";
    QTest::newRow("windows first") << enclosure("a.exe", "sparkle:os=\"windows\"") +
                                          enclosure("a.zip", "sparkle:os=\"macos\"") + enclosure("b.zip")
                                   << "a.zip";
    QTest::newRow("windows only") << enclosure("a.exe", "sparkle:os=\"windows-x64\"") << "-";
    QTest::newRow("delta only") << enclosure("a.delta", "sparkle:deltaFrom=\"1.0\"") << "-";
    QTest::newRow("delta before the archive")
        << enclosure("a.delta", "sparkle:deltaFrom=\"1.0\"") + enclosure("a.zip") << "a.zip";
    QTest::newRow("local file") << "<enclosure url=\"file:///Applications/Evil.zip\"/>"
                                << "refused";
    QTest::newRow("local file for windows")
        << enclosure("a.zip") + "<enclosure url=\"file:///C:/evil.exe\" sparkle:os=\"windows\"/>"
        << "refused";
}

void AppcastTest::takesTheEnclosureForThisSystem()
{
    QFETCH(QString, enclosures);
    QFETCH(QString, expected);
    // An older item for macOS stays behind, so a skipped item cannot hide in an empty feed.
    const QByteArray xml = feed("<item><sparkle:version>2.0</sparkle:version>" + enclosures +
                                "</item>"
                                "<item><sparkle:version>1.5</sparkle:version>"
                                "<enclosure url=\"https://example.org/old.zip\"/></item>");
    if (expected == "refused") {
        QVERIFY_THROWS_EXCEPTION(UpdaterError, AppcastParser::parse(xml, kFeedUrl));
        return;
    }
    const QList<AppcastItem> items = AppcastParser::parse(xml, kFeedUrl);
    if (expected == "-") {
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].versionString, "1.5");
        return;
    }
    QCOMPARE(items.size(), 2);
    QCOMPARE(items[0].fileUrl, QUrl("https://example.org/" + expected));
}

void AppcastTest::skipsItemsTheMachineOrVersionCannotTake_data()
{
    QTest::addColumn<QString>("extra"); // inside the newest item, 3.0
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("architecture");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* tag, const QString& extra, const char* installed, const char* machine,
                        const char* expected) {
        QTest::newRow(tag) << extra << QString(installed) << QString(machine) << QString(expected);
    };
    const QString arm = "<sparkle:hardwareRequirements>arm64</sparkle:hardwareRequirements>";
    const QString minimum = "<sparkle:minimumUpdateVersion>1.5</sparkle:minimumUpdateVersion>";
    row("arm64 on Apple silicon", arm, "1.0", "arm64", "3.0");
    row("arm64 on Intel", arm, "1.0", "x86_64", "2.0");
    row("requirement in capitals", "<sparkle:hardwareRequirements>ARM64</sparkle:hardwareRequirements>",
        "1.0", "arm64", "3.0");
    row("unknown requirement", "<sparkle:hardwareRequirements>arm64, neural-engine</sparkle:hardwareRequirements>",
        "1.0", "arm64", "2.0");
    row("installed below minimum update version", minimum, "1.0", "x86_64", "2.0");
    row("installed at minimum update version", minimum, "1.5", "x86_64", "3.0");
}

void AppcastTest::skipsItemsTheMachineOrVersionCannotTake()
{
    QFETCH(QString, extra);
    QFETCH(QString, installed);
    QFETCH(QString, architecture);
    QFETCH(QString, expected);

    const QByteArray xml =
        feed("<item><sparkle:version>3.0</sparkle:version><enclosure url=\"https://e.org/3.zip\"/>" + extra +
             "</item><item><sparkle:version>2.0</sparkle:version><enclosure url=\"https://e.org/2.zip\"/>"
             "</item>");
    AppcastSelector::Criteria criteria;
    criteria.installedVersion = installed;
    criteria.machineArchitecture = architecture;
    const std::optional<AppcastItem> chosen =
        AppcastSelector::newestUpdate(AppcastParser::parse(xml, kFeedUrl), criteria);
    QVERIFY(chosen);
    QCOMPARE(chosen->versionString, expected);
}

void AppcastTest::picksReleaseNotesInTheUsersLanguage_data()
{
    QTest::addColumn<QString>("elements");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("notes");       // the release-notes link's file, "" for none
    QTest::addColumn<QString>("description"); // "-" for none

    auto link = [](const QString& file, const QString& lang = {}) {
        const QString attribute = lang.isEmpty() ? QString() : " xml:lang=\"" + lang + "\"";
        return "<sparkle:releaseNotesLink" + attribute + ">https://example.org/" + file +
               "</sparkle:releaseNotesLink>";
    };
    auto text = [](const QString& body, const QString& lang = {}) {
        const QString attribute = lang.isEmpty() ? QString() : " xml:lang=\"" + lang + "\"";
        return "<description" + attribute + ">" + body + "</description>";
    };
    const auto row = [](const char* tag, const QString& elements, const char* language, const char* notes,
                        const char* description = "-") {
        QTest::newRow(tag) << elements << QString(language) << QString(notes) << QString(description);
    };
    const QString three = link("en.html", "en") + link("plain.html") + link("de.html", "de");
    row("user's language", three, "de", "de.html");
    row("with region", three, "de-AT", "de.html");
    row("region beats family", link("pt.html", "pt-PT") + link("br.html", "pt_BR"), "pt-BR", "br.html");
    row("else the one without a language", three, "fr", "plain.html");
    row("else the first", link("en.html", "en") + link("de.html", "de"), "fr", "en.html");
    row("local file dropped",
        "<sparkle:releaseNotesLink xml:lang=\"de\">file:///etc/passwd</sparkle:releaseNotesLink>" +
            link("plain.html"),
        "de", "plain.html");
    row("descriptions", text("Neu", "de") + text("New") + text("Nouveau", "fr"), "fr", "", "Nouveau");
}

void AppcastTest::picksReleaseNotesInTheUsersLanguage()
{
    QFETCH(QString, elements);
    QFETCH(QString, language);
    QFETCH(QString, notes);
    QFETCH(QString, description);
    const QList<AppcastItem> items = AppcastParser::parse(
        feed("<item><sparkle:version>2</sparkle:version><enclosure url=\"https://e.org/2.zip\"/>" + elements +
             "</item>"),
        kFeedUrl, language);
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0].releaseNotesUrl, notes.isEmpty() ? QUrl() : QUrl("https://example.org/" + notes));
    QCOMPARE(items[0].itemDescription,
             description == "-" ? std::nullopt : std::optional<QString>(description));
}

void AppcastTest::readsPublicationDates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // ISO 8601 in UTC; "" for no date
    const auto row = [](const char* tag, const char* text, const char* expected = "") {
        QTest::newRow(tag) << QString(text) << QString(expected);
    };
    row("well made", "Wed, 09 Oct 2024 12:30:00 +0000", "2024-10-09T12:30:00Z");
    row("wrong weekday", "Thu, 09 Oct 2024 12:30:00 +0000", "2024-10-09T12:30:00Z");
    row("wrong weekday written out", "Monday, 9 Oct 2024 14:30:00 +0200", "2024-10-09T12:30:00Z");
    row("no weekday, no seconds", "9 Oct 2024 12:30 GMT", "2024-10-09T12:30:00Z");
    row("no space after the comma", "Sat,12 Jul 2025 20:00:00 PDT", "2025-07-13T03:00:00Z");
    row("negative offset", "Tue, 31 Dec 2024 23:00:00 -0130", "2025-01-01T00:30:00Z");
    row("no zone", "Wed, 09 Oct 2024 12:30:00", "2024-10-09T12:30:00Z");
    row("unknown weekday", "Wek, 09 Oct 2024 12:30:00 +0000");
    row("day the month lacks", "Fri, 31 Feb 2024 12:30:00 +0000");
    row("hour out of range", "Wed, 09 Oct 2024 24:30:00 +0000");
    row("unknown month", "Wed, 09 Okt 2024 12:30:00 +0000");
    row("unknown zone", "Wed, 09 Oct 2024 12:30:00 XYZ");
    row("trailing words", "Wed, 09 Oct 2024 12:30:00 +0000 (UTC)");
}

void AppcastTest::readsPublicationDates()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QList<AppcastItem> items = AppcastParser::parse(
        feed("<item><sparkle:version>2</sparkle:version><pubDate>" + text + "</pubDate></item>"), kFeedUrl);
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0].date.isValid() ? items[0].date.toUTC().toString(Qt::ISODate) : QString(), expected);
}

QTEST_GUILESS_MAIN(AppcastTest)
#include "tst_updater_appcast.moc"
