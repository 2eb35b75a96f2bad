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

QTEST_GUILESS_MAIN(AppcastTest)
#include "tst_updater_appcast.moc"
