#include "sources/mas/AppStoreLookupReply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace norvelle;

namespace {

const QString kBundle = QStringLiteral("com.example.app");

QJsonObject fullResult()
{
    return QJsonObject{
        {"trackId", 409183694},        {"bundleId", "com.example.reply"},
        {"trackName", "Example"},      {"version", "2.1"},
        {"releaseNotes", "Fixes."},    {"currentVersionReleaseDate", "2024-03-05T08:09:10Z"},
        {"fileSizeBytes", "12345678"}, {"trackViewUrl", "https://apps.example.com/app/id409183694"},
    };
}

QByteArray reply(const QJsonObject& result, int count = 1)
{
    return QJsonDocument(QJsonObject{{"resultCount", count}, {"results", QJsonArray{result}}}).toJson();
}

QByteArray replyWith(const QString& key, const QJsonValue& value)
{
    QJsonObject result = fullResult();
    if (value.isUndefined())
        result.remove(key);
    else
        result.insert(key, value);
    return reply(result);
}

AppStoreLookupReply::Rejection rejectionOf(const AppStoreLookupReply::Result& result)
{
    const auto* rejection = std::get_if<AppStoreLookupReply::Rejection>(&result);
    return rejection ? *rejection
                     : AppStoreLookupReply::Rejection{Logger::Level::error, QStringLiteral("<accepted>")};
}

} // namespace

class TestAppStoreLookupReply : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fullReply()
    {
        const AppStoreLookupReply::Result result =
            AppStoreLookupReply::read(200, reply(fullResult()), kBundle);
        QVERIFY(std::holds_alternative<AppStoreMetadata>(result));
        const AppStoreMetadata expected{409183694,
                                        QStringLiteral("com.example.reply"),
                                        QStringLiteral("Example"),
                                        QStringLiteral("2.1"),
                                        QStringLiteral("Fixes."),
                                        QDateTime(QDate(2024, 3, 5), QTime(8, 9, 10), Qt::UTC),
                                        12345678,
                                        QUrl(QStringLiteral("https://apps.example.com/app/id409183694"))};
        QCOMPARE(std::get<AppStoreMetadata>(result), expected);
    }

    void onlyFirstResultIsRead()
    {
        QJsonObject second = fullResult();
        second.insert("version", "9.9");
        const QByteArray body =
            QJsonDocument(QJsonObject{{"resultCount", 2}, {"results", QJsonArray{fullResult(), second}}})
                .toJson();
        const auto result = AppStoreLookupReply::read(200, body, kBundle);
        QCOMPARE(std::get<AppStoreMetadata>(result).version, QStringLiteral("2.1"));
    }

    void rejections_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("message");

        const int warning = int(Logger::Level::warning);
        const int debug = int(Logger::Level::debug);
        const QString parse = QStringLiteral("Failed to parse iTunes API response for bundle: ") + kBundle;
        const QString noResults = QStringLiteral("No App Store results found for bundle: ") + kBundle;
        const QString noArray =
            QStringLiteral("No results array in iTunes API response for bundle: ") + kBundle;
        const QString missing =
            QStringLiteral("Missing required fields in iTunes API response for bundle: ") + kBundle;
        const QByteArray good = reply(fullResult());

        QTest::newRow("status 404") << 404 << good << warning
                                    << QStringLiteral("iTunes API returned status 404 for bundle: ") +
                                           kBundle;
        QTest::newRow("status 503") << 503 << good << warning
                                    << QStringLiteral("iTunes API returned status 503 for bundle: ") +
                                           kBundle;
        QTest::newRow("status 204") << 204 << good << warning
                                    << QStringLiteral("iTunes API returned status 204 for bundle: ") +
                                           kBundle;
        QTest::newRow("no status") << 0 << good << warning
                                   << QStringLiteral("Invalid HTTP response from iTunes API for bundle: ") +
                                          kBundle;

        QTest::newRow("not json") << 200 << QByteArray("<html>") << warning << parse;
        QTest::newRow("empty body") << 200 << QByteArray() << warning << parse;
        QTest::newRow("top-level array") << 200 << QByteArray("[{\"resultCount\":1}]") << warning << parse;
        QTest::newRow("no resultCount") << 200 << QByteArray("{\"results\":[]}") << warning << parse;
        QTest::newRow("resultCount as text")
            << 200 << QByteArray("{\"resultCount\":\"1\",\"results\":[{}]}") << warning << parse;
        QTest::newRow("resultCount fraction")
            << 200 << QByteArray("{\"resultCount\":1.5}") << warning << parse;
        QTest::newRow("resultCount null") << 200 << QByteArray("{\"resultCount\":null}") << warning << parse;
        QTest::newRow("invalid utf-8")
            << 200 << QByteArray("{\"resultCount\":1,\"x\":\"\xff\"}") << warning << parse;

        QTest::newRow("zero results")
            << 200 << QByteArray("{\"resultCount\":0,\"results\":[]}") << debug << noResults;
        QTest::newRow("count 1, no results key")
            << 200 << QByteArray("{\"resultCount\":1}") << debug << noArray;
        QTest::newRow("results empty")
            << 200 << QByteArray("{\"resultCount\":1,\"results\":[]}") << debug << noArray;
        QTest::newRow("results not array")
            << 200 << QByteArray("{\"resultCount\":1,\"results\":{}}") << debug << noArray;
        QTest::newRow("results holds a non-object")
            << 200 << QByteArray("{\"resultCount\":1,\"results\":[{},1]}") << debug << noArray;

        QTest::newRow("trackId as text") << 200 << replyWith("trackId", "409183694") << warning << missing;
        QTest::newRow("trackId fraction") << 200 << replyWith("trackId", 1.5) << warning << missing;
        QTest::newRow("trackId missing")
            << 200 << replyWith("trackId", QJsonValue::Undefined) << warning << missing;
        QTest::newRow("bundleId null")
            << 200 << replyWith("bundleId", QJsonValue::Null) << warning << missing;
        QTest::newRow("trackName number") << 200 << replyWith("trackName", 5) << warning << missing;
        QTest::newRow("version as number") << 200 << replyWith("version", 2.1) << warning << missing;
        QTest::newRow("version missing")
            << 200 << replyWith("version", QJsonValue::Undefined) << warning << missing;
    }
    void rejections()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, level);
        QFETCH(QString, message);
        const AppStoreLookupReply::Rejection rejection =
            rejectionOf(AppStoreLookupReply::read(status, body, kBundle));
        QCOMPARE(rejection.message, message);
        QCOMPARE(int(rejection.level), level);
    }

    void releaseDate_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<QDateTime>("expected"); // invalid: absent

        const QDateTime utc(QDate(2024, 3, 5), QTime(8, 9, 10), Qt::UTC);
        QTest::newRow("zulu") << QJsonValue("2024-03-05T08:09:10Z") << utc;
        QTest::newRow("offset") << QJsonValue("2024-03-05T10:09:10+02:00") << utc;
        QTest::newRow("fractional seconds") << QJsonValue("2024-03-05T08:09:10.123Z") << QDateTime();
        QTest::newRow("no zone") << QJsonValue("2024-03-05T08:09:10") << QDateTime();
        QTest::newRow("date only") << QJsonValue("2024-03-05") << QDateTime();
        QTest::newRow("impossible date") << QJsonValue("2024-02-30T08:09:10Z") << QDateTime();
        QTest::newRow("space separator") << QJsonValue("2024-03-05 08:09:10Z") << QDateTime();
        QTest::newRow("number") << QJsonValue(1709626150) << QDateTime();
        QTest::newRow("null") << QJsonValue(QJsonValue::Null) << QDateTime();
        QTest::newRow("empty") << QJsonValue("") << QDateTime();
    }
    void releaseDate()
    {
        QFETCH(QJsonValue, value);
        QFETCH(QDateTime, expected);
        const std::optional<QDateTime> date = AppStoreLookupReply::releaseDate(value);
        QCOMPARE(date.has_value(), expected.isValid());
        if (date)
            QCOMPARE(date->toUTC(), expected);
    }

    void fileSize_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<qint64>("expected"); // -1: absent

        QTest::newRow("eight digits as text") << QJsonValue("12345678") << qint64(12345678);
        QTest::newRow("eight digits as number") << QJsonValue(12345678) << qint64(12345678);
        QTest::newRow("whole double") << QJsonValue(12345678.0) << qint64(12345678);
        QTest::newRow("plus sign") << QJsonValue("+42") << qint64(42);
        QTest::newRow("zero") << QJsonValue("0") << qint64(0);
        QTest::newRow("int64 max") << QJsonValue("9223372036854775807") << qint64(9223372036854775807LL);
        QTest::newRow("beyond int64") << QJsonValue("9223372036854775808") << qint64(-1);
        QTest::newRow("unit after digits") << QJsonValue("123 MB") << qint64(-1);
        QTest::newRow("empty text") << QJsonValue("") << qint64(-1);
        QTest::newRow("leading blank") << QJsonValue(" 123") << qint64(-1);
        QTest::newRow("fraction text") << QJsonValue("12.5") << qint64(-1);
        QTest::newRow("fraction number") << QJsonValue(12.5) << qint64(-1);
        QTest::newRow("arabic-indic digits") << QJsonValue(QString::fromUtf8("\u0661\u0662")) << qint64(-1);
        QTest::newRow("bool") << QJsonValue(true) << qint64(-1);
        QTest::newRow("null") << QJsonValue(QJsonValue::Null) << qint64(-1);
    }
    void fileSize()
    {
        QFETCH(QJsonValue, value);
        QFETCH(qint64, expected);
        const std::optional<qint64> size = AppStoreLookupReply::fileSizeBytes(value);
        QCOMPARE(size.has_value(), expected >= 0);
        if (size)
            QCOMPARE(*size, expected);
    }

    void negativeSizeTextIsAnInteger()
    {
        QCOMPARE(AppStoreLookupReply::fileSizeBytes(QJsonValue("-5")), std::optional<qint64>(-5));
    }

    void optionalFieldsNeverReject_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value");
        QTest::newRow("notes number") << "releaseNotes" << QJsonValue(3);
        QTest::newRow("notes null") << "releaseNotes" << QJsonValue(QJsonValue::Null);
        QTest::newRow("date bad") << "currentVersionReleaseDate" << QJsonValue("yesterday");
        QTest::newRow("size bad") << "fileSizeBytes" << QJsonValue("big");
        QTest::newRow("url relative") << "trackViewUrl" << QJsonValue("/app/id1");
        QTest::newRow("url other scheme") << "trackViewUrl" << QJsonValue("javascript:alert(1)");
        QTest::newRow("url broken") << "trackViewUrl" << QJsonValue("https://exa mple.com/");
        QTest::newRow("url number") << "trackViewUrl" << QJsonValue(1);
    }
    void optionalFieldsNeverReject()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        const auto result = AppStoreLookupReply::read(200, replyWith(key, value), kBundle);
        QVERIFY(std::holds_alternative<AppStoreMetadata>(result));
        const AppStoreMetadata& metadata = std::get<AppStoreMetadata>(result);
        QCOMPARE(metadata.version, QStringLiteral("2.1"));
        if (key == u"releaseNotes")
            QVERIFY(!metadata.releaseNotes);
        else if (key == u"currentVersionReleaseDate")
            QVERIFY(!metadata.releaseDate);
        else if (key == u"fileSizeBytes")
            QVERIFY(!metadata.fileSizeBytes);
        else
            QVERIFY(!metadata.trackViewUrl);
    }

    void equalityAndHashCoverEveryField()
    {
        const AppStoreMetadata base =
            std::get<AppStoreMetadata>(AppStoreLookupReply::read(200, reply(fullResult()), kBundle));
        AppStoreMetadata other = base;
        QCOMPARE(qHash(other), qHash(base));
        other.fileSizeBytes.reset();
        QVERIFY(other != base);
        other = base;
        other.trackViewUrl.reset();
        QVERIFY(other != base);
        other = base;
        other.releaseNotes = QString();
        QVERIFY(other != base);
        QVERIFY(qHash(other) != qHash(base));
    }
};

QTEST_GUILESS_MAIN(TestAppStoreLookupReply)
#include "tst_appstoreapireply.moc"
