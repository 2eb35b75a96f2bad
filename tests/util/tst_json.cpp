#include "util/Json.h"

#include "CaskroomBuilder.h"
#include "TempRoot.h"
#include "util/JsonError.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace norvelle;

namespace {
QJsonObject sample()
{
    return json::parseObject(R"({
        "s": "text", "empty": "", "t": true, "f": false, "n": null,
        "i": 42, "neg": -7, "whole": 5.0, "frac": 5.5, "big": 9007199254740993,
        "huge": 1e30, "o": {"k": 1}, "a": [1, "x"],
        "strings": ["a", "b"], "mixed": ["a", 1], "withNull": ["a", null], "none": [],
        "objects": [{"a": 1}, {}], "notObjects": [{"a": 1}, 2],
        "digits": "123"
    })")
        .value();
}
} // namespace

class TestJson : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void typedGetters_data()
    {
        // The column lists which getters find the key; all others must answer none.
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("present");
        QTest::newRow("string") << "s"
                                << "string";
        QTest::newRow("empty string") << "empty"
                                      << "string";
        QTest::newRow("true") << "t"
                              << "boolean";
        QTest::newRow("false") << "f"
                               << "boolean";
        QTest::newRow("null is absent") << "n"
                                        << "";
        QTest::newRow("missing") << "nothing"
                                 << "";
        QTest::newRow("integer") << "i"
                                 << "int64 number";
        QTest::newRow("whole double") << "whole"
                                      << "int64 number";
        QTest::newRow("fraction") << "frac"
                                  << "number";
        QTest::newRow("beyond int64") << "huge"
                                      << "number";
        QTest::newRow("object") << "o"
                                << "object";
        QTest::newRow("mixed array") << "a"
                                     << "array";
        QTest::newRow("string array") << "strings"
                                      << "array stringList";
        QTest::newRow("string array with number") << "mixed"
                                                  << "array";
        QTest::newRow("string array with null") << "withNull"
                                                << "array";
        QTest::newRow("empty array") << "none"
                                     << "array stringList objectList";
        QTest::newRow("object array") << "objects"
                                      << "array objectList";
        QTest::newRow("object array with number") << "notObjects"
                                                  << "array";
        QTest::newRow("digits as text") << "digits"
                                        << "string";
    }
    void typedGetters()
    {
        QFETCH(QString, key);
        QFETCH(QString, present);
        const QJsonObject o = sample();
        const QStringList has = present.split(u' ', Qt::SkipEmptyParts);
        QCOMPARE(json::string(o, key).has_value(), has.contains("string"));
        QCOMPARE(json::boolean(o, key).has_value(), has.contains("boolean"));
        QCOMPARE(json::int64(o, key).has_value(), has.contains("int64"));
        QCOMPARE(json::number(o, key).has_value(), has.contains("number"));
        QCOMPARE(json::object(o, key).has_value(), has.contains("object"));
        QCOMPARE(json::array(o, key).has_value(), has.contains("array"));
        QCOMPARE(json::stringList(o, key).has_value(), has.contains("stringList"));
        QCOMPARE(json::objectList(o, key).has_value(), has.contains("objectList"));
    }

    void values()
    {
        const QJsonObject o = sample();
        QCOMPARE(json::string(o, u"s"), std::optional<QString>(QStringLiteral("text")));
        QCOMPARE(json::boolean(o, u"f"), std::optional<bool>(false));
        QCOMPARE(json::int64(o, u"i"), std::optional<qint64>(42));
        QCOMPARE(json::int64(o, u"neg"), std::optional<qint64>(-7));
        QCOMPARE(json::int64(o, u"whole"), std::optional<qint64>(5));
        QCOMPARE(json::int64(o, u"big"), std::optional<qint64>(9007199254740993LL));
        QCOMPARE(json::number(o, u"frac"), std::optional<double>(5.5));
        QCOMPARE(json::stringList(o, u"strings"), std::optional<QStringList>(QStringList{"a", "b"}));
        QCOMPARE(json::objectList(o, u"objects")->size(), 2);
        QCOMPARE(json::int64(QJsonValue(1.0)), std::optional<qint64>(1));
        QCOMPARE(json::int64(QJsonValue(0.0)), std::optional<qint64>(0));
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("isObject");
        QTest::newRow("object") << QByteArray(R"({"a":1})") << true << true;
        QTest::newRow("array") << QByteArray("[1,2]") << true << false;
        QTest::newRow("empty") << QByteArray() << false << false;
        QTest::newRow("truncated") << QByteArray(R"({"a":)") << false << false;
        QTest::newRow("trailing garbage") << QByteArray(R"({"a":1} x)") << false << false;
        QTest::newRow("trailing comma") << QByteArray(R"({"a":1,})") << false << false;
        QTest::newRow("single quotes") << QByteArray("{'a':1}") << false << false;
        QTest::newRow("html") << QByteArray("<html>oops</html>") << false << false;
    }
    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QFETCH(bool, isObject);
        QString errorText;
        const auto document = json::tryParse(text, &errorText);
        QCOMPARE(document.has_value(), valid);
        QCOMPARE(errorText.isEmpty(), valid);
        QCOMPARE(json::parseObject(text).has_value(), valid && isObject);
        QCOMPARE(json::parseArray(text).has_value(), valid && !isObject);
        bool threw = false;
        try {
            json::parse(text);
        } catch (const JsonError& e) {
            threw = true;
            QVERIFY(!e.description().isEmpty());
        }
        QCOMPARE(threw, !valid);
    }

    // The receipt fixture must have the shape the Homebrew receipts have, read with these accessors.
    void caskroomReceiptFixture()
    {
        test::TempRoot root;
        const test::CaskroomBuilder caskroom(root.paths().caskroomFolders.first());
        const QString path =
            caskroom.writeReceipt("foo", test::CaskroomBuilder::receipt({"Foo.app"}, {"~/Library/x.y.z"}));
        QCOMPARE(path, root.filePath("opt/homebrew/Caskroom/foo/.metadata/INSTALL_RECEIPT.json"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto artifacts =
            json::objectList(json::parseObject(file.readAll()).value(), u"uninstall_artifacts");
        QVERIFY(artifacts && artifacts->size() == 2);
        QCOMPARE(json::stringList(artifacts->at(0), u"app"),
                 std::optional<QStringList>(QStringList{"Foo.app"}));
        const auto zap = json::objectList(artifacts->at(1), u"zap");
        QCOMPARE(json::stringList(zap->at(0), u"trash"),
                 std::optional<QStringList>(QStringList{"~/Library/x.y.z"}));
        QVERIFY(QFileInfo(caskroom.addVersionFolder("foo", "1.2")).isDir());
    }
};

QTEST_GUILESS_MAIN(TestJson)
#include "tst_json.moc"
