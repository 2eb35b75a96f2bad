#include "sources/mas/AppStoreLookupReply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace norvelle;

namespace {

const QString kBundle = QStringLiteral("com.example.app");

// A reply whose first result has every field, with one field replaced (or removed when undefined).
QByteArray reply(const QString& key = {}, const QJsonValue& value = QJsonValue::Undefined)
{
    QJsonObject result{
        {"trackId", 409183694},        {"bundleId", "com.example.reply"},
        {"trackName", "Example"},      {"version", "2.1"},
        {"releaseNotes", "Fixes."},    {"currentVersionReleaseDate", "2024-03-05T08:09:10Z"},
        {"fileSizeBytes", "12345678"}, {"trackViewUrl", "https://apps.example.com/app/id409183694"}};
    if (value.isUndefined())
        result.remove(key);
    else
        result.insert(key, value);
    return QJsonDocument(QJsonObject{{"resultCount", 1}, {"results", QJsonArray{result}}}).toJson();
}

} // namespace

class TestAppStoreLookupReply : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fullReply()
    {
        const auto result = AppStoreLookupReply::read(200, reply(), kBundle);
        QVERIFY(std::holds_alternative<AppStoreMetadata>(result));
        QCOMPARE(std::get<AppStoreMetadata>(result),
                 (AppStoreMetadata{409183694, "com.example.reply", "Example", "2.1", QStringLiteral("Fixes."),
                                   QDateTime(QDate(2024, 3, 5), QTime(8, 9, 10), Qt::UTC), 12345678,
                                   QUrl(QStringLiteral("https://apps.example.com/app/id409183694"))}));
    }

    void rejections_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("isWarning"); // else debug
        QTest::addColumn<QString>("message");
        const QString parse = "Failed to parse iTunes API response for bundle: ";
        const QString noArray = "No results array in iTunes API response for bundle: ";
        const QString missing = "Missing required fields in iTunes API response for bundle: ";
        // clang-format off
        QTest::newRow("404") << 404 << reply() << true << "iTunes API returned status 404 for bundle: ";
        QTest::newRow("503") << 503 << reply() << true << "iTunes API returned status 503 for bundle: ";
        QTest::newRow("not json") << 200 << QByteArray("<html>") << true << parse;
        QTest::newRow("top-level array") << 200 << QByteArray(R"([{"resultCount":1}])") << true << parse;
        QTest::newRow("resultCount as text") << 200 << QByteArray(R"({"resultCount":"1","results":[{}]})") << true << parse;
        QTest::newRow("resultCount fraction") << 200 << QByteArray(R"({"resultCount":1.5})") << true << parse;
        QTest::newRow("resultCount null") << 200 << QByteArray(R"({"resultCount":null})") << true << parse;
        QTest::newRow("zero results") << 200 << QByteArray(R"({"resultCount":0,"results":[]})") << false << "No App Store results found for bundle: ";
        QTest::newRow("no results key") << 200 << QByteArray(R"({"resultCount":1})") << false << noArray;
        QTest::newRow("results empty") << 200 << QByteArray(R"({"resultCount":1,"results":[]})") << false << noArray;
        QTest::newRow("results holds a number") << 200 << QByteArray(R"({"resultCount":1,"results":[{},1]})") << false << noArray;
        QTest::newRow("trackId as text") << 200 << reply("trackId", "409183694") << true << missing;
        QTest::newRow("trackId fraction") << 200 << reply("trackId", 1.5) << true << missing;
        QTest::newRow("bundleId null") << 200 << reply("bundleId", QJsonValue::Null) << true << missing;
        QTest::newRow("version as number") << 200 << reply("version", 2.1) << true << missing;
        QTest::newRow("trackName missing") << 200 << reply("trackName") << true << missing;
        // clang-format on
    }
    void rejections()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, isWarning);
        QFETCH(QString, message);
        const auto result = AppStoreLookupReply::read(status, body, kBundle);
        QVERIFY(std::holds_alternative<AppStoreLookupReply::Rejection>(result));
        QCOMPARE(std::get<AppStoreLookupReply::Rejection>(result),
                 (AppStoreLookupReply::Rejection{isWarning ? Logger::Level::warning : Logger::Level::debug,
                                                 message + kBundle}));
    }

    void releaseDate_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<QDateTime>("expected"); // invalid: absent
        const QDateTime utc(QDate(2024, 3, 5), QTime(8, 9, 10), Qt::UTC);
        // clang-format off
        QTest::newRow("zulu") << QJsonValue("2024-03-05T08:09:10Z") << utc;
        QTest::newRow("offset") << QJsonValue("2024-03-05T10:09:10+02:00") << utc;
        QTest::newRow("fractional seconds") << QJsonValue("2024-03-05T08:09:10.123Z") << QDateTime();
        QTest::newRow("no zone") << QJsonValue("2024-03-05T08:09:10") << QDateTime();
        QTest::newRow("date only") << QJsonValue("2024-03-05") << QDateTime();
        QTest::newRow("impossible date") << QJsonValue("2024-02-30T08:09:10Z") << QDateTime();
        QTest::newRow("number") << QJsonValue(1709626150) << QDateTime();
        // clang-format on
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
        // clang-format off
        QTest::newRow("eight digits as text") << QJsonValue("12345678") << qint64(12345678);
        QTest::newRow("eight digits as number") << QJsonValue(12345678) << qint64(12345678);
        QTest::newRow("plus sign") << QJsonValue("+42") << qint64(42);
        QTest::newRow("int64 max") << QJsonValue("9223372036854775807") << qint64(9223372036854775807LL);
        QTest::newRow("beyond int64") << QJsonValue("9223372036854775808") << qint64(-1);
        QTest::newRow("unit after digits") << QJsonValue("123 MB") << qint64(-1);
        QTest::newRow("empty text") << QJsonValue("") << qint64(-1);
        QTest::newRow("leading blank") << QJsonValue(" 123") << qint64(-1);
        QTest::newRow("fraction number") << QJsonValue(12.5) << qint64(-1);
        QTest::newRow("arabic-indic digits") << QJsonValue(QString::fromUtf8("\u0661\u0662")) << qint64(-1);
        // clang-format on
    }
    void fileSize()
    {
        QFETCH(QJsonValue, value);
        QFETCH(qint64, expected);
        const std::optional<qint64> size = AppStoreLookupReply::fileSizeBytes(value);
        QCOMPARE(size.value_or(-1), expected);
    }

    void malformedOptionalFieldsAreAbsent()
    {
        const auto read = [](const QString& key, const QJsonValue& value) {
            return std::get<AppStoreMetadata>(AppStoreLookupReply::read(200, reply(key, value), kBundle));
        };
        QVERIFY(!read("releaseNotes", 3).releaseNotes);
        QVERIFY(!read("currentVersionReleaseDate", "yesterday").releaseDate);
        QVERIFY(!read("fileSizeBytes", "big").fileSizeBytes);
        QVERIFY(!read("trackViewUrl", "/app/id1").trackViewUrl);
        QVERIFY(!read("trackViewUrl", "javascript:alert(1)").trackViewUrl);
        QVERIFY(!read("trackViewUrl", "https://exa mple.com/").trackViewUrl);
    }
};

QTEST_GUILESS_MAIN(TestAppStoreLookupReply)
#include "tst_appstoreapireply.moc"
