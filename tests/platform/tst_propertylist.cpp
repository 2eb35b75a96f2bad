#include "platform/plist/PropertyList.h"

#include "BundleBuilder.h"
#include "TempRoot.h"

#include <QDateTime>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <vector>

using namespace norvelle;
using namespace norvelle::test;
using Format = PropertyList::Format;

Q_DECLARE_METATYPE(PropertyList::Format)

namespace {
QVariantMap richDictionary()
{
    QVariantMap nested{{"SUFeedURL", QStringLiteral("https://example.test/appcast.xml")}, {"flag", false}};
    return QVariantMap{
        {"CFBundleIdentifier", QStringLiteral("com.example.Foo")},
        {"CFBundleShortVersionString", QStringLiteral("1.2.3")},
        {"Unicode", QStringLiteral(u"Zoë – 日本 😀")},
        {"Empty", QString()},
        {"True", true},
        {"Small", qint64(7)},
        {"Negative", qint64(-42)},
        {"Large", qint64(1) << 40},
        {"Real", 2.5},
        {"Date", QDateTime(QDate(2024, 1, 15), QTime(10, 30, 0), Qt::UTC)},
        {"Data", QByteArray("\x00\x01\xfe\xff", 4)},
        {"List", QVariantList{QStringLiteral("a"), qint64(1), QVariantList{}, QVariantMap{}}},
        {"Nested", nested},
    };
}
} // namespace

class TestPropertyList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTrip_data()
    {
        QTest::addColumn<Format>("format");
        QTest::newRow("xml") << Format::xml;
        QTest::newRow("binary") << Format::binary;
    }
    void roundTrip()
    {
        QFETCH(Format, format);
        const QVariantMap original = richDictionary();
        const auto bytes = PropertyList::serialize(original, format);
        QVERIFY(bytes);
        QCOMPARE(bytes->startsWith("bplist00"), format == Format::binary);
        const auto parsed = PropertyList::parseDictionary(*bytes);
        QVERIFY(parsed);
        QCOMPARE(parsed->keys(), original.keys());
        for (auto it = original.cbegin(); it != original.cend(); ++it)
            QVERIFY2(parsed->value(it.key()) == it.value(), qPrintable(it.key()));
        QCOMPARE(parsed->value("Small").typeId(), int(QMetaType::LongLong));
        QCOMPARE(parsed->value("Date").toDateTime().timeSpec(), Qt::UTC);
    }

    void bundleOnDisk_data() { roundTrip_data(); }
    void bundleOnDisk()
    {
        QFETCH(Format, format);
        TempRoot root;
        const QString bundle = BundleBuilder(root.paths().applicationsFolder, "Foo")
                                   .bundleIdentifier("com.example.Foo")
                                   .version("42")
                                   .set("SUFeedURL", QStringLiteral("https://example.test/feed"))
                                   .set("LSMinimumSystemVersion", qint64(14))
                                   .binary(format == Format::binary)
                                   .build();
        QCOMPARE(bundle, root.filePath("Applications/Foo.app"));
        const auto info = PropertyList::readDictionaryFile(bundle + "/Contents/Info.plist");
        QVERIFY(info);
        QCOMPARE(PropertyList::string(*info, "CFBundleIdentifier"),
                 std::optional<QString>("com.example.Foo"));
        QCOMPARE(PropertyList::string(*info, "CFBundleVersion"), std::optional<QString>("42"));
        QCOMPARE(PropertyList::string(*info, "CFBundleName"), std::optional<QString>("Foo"));
        QCOMPARE(PropertyList::string(*info, "CFBundleShortVersionString"), std::nullopt);
        // Present, but not text.
        QCOMPARE(PropertyList::string(*info, "LSMinimumSystemVersion"), std::nullopt);
    }

    void handWrittenXml()
    {
        const QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                               "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                               "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                               "<plist version=\"1.0\">\n<dict>\n"
                               "\t<key>CFBundleIdentifier</key>\n\t<string>org.example.App</string>\n"
                               "\t<key>Count</key>\n\t<integer>-1</integer>\n"
                               "\t<key>Escaped</key>\n\t<string>a &amp; b &lt;c&gt;</string>\n"
                               "</dict>\n</plist>\n";
        const auto info = PropertyList::parseDictionary(xml);
        QVERIFY(info);
        QCOMPARE(info->value("CFBundleIdentifier").toString(), "org.example.App");
        QCOMPARE(info->value("Count").toLongLong(), -1);
        QCOMPARE(info->value("Escaped").toString(), "a & b <c>");
    }

    void rejects_data()
    {
        QTest::addColumn<QByteArray>("data");
        const QByteArray binary = PropertyList::serialize(richDictionary(), Format::binary).value();
        const QByteArray xml = PropertyList::serialize(richDictionary(), Format::xml).value();
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("hello world");
        QTest::newRow("json") << QByteArray("{\"CFBundleIdentifier\": \"x\"}");
        QTest::newRow("binary magic only") << QByteArray("bplist00");
        QTest::newRow("binary magic and junk")
            << QByteArray("bplist00\x01\x02\x03\xff\xff\xff\xff\xff\xff\xff\xff");
        QTest::newRow("binary truncated") << binary.left(binary.size() / 2);
        QTest::newRow("binary cut trailer") << binary.left(binary.size() - 8);
        QTest::newRow("xml truncated") << xml.left(xml.size() / 2);
        QTest::newRow("xml unknown tag") << QByteArray("<plist><dict><key>a</key><widget/></dict></plist>");
        QTest::newRow("xml root array") << QByteArray("<plist><array><string>a</string></array></plist>");
        QTest::newRow("xml root string") << QByteArray("<plist><string>a</string></plist>");
        QTest::newRow("zeros") << QByteArray(64, '\0');
        // UTF-16 text holding a NUL character makes libplist abort the process when it is a key.
        QByteArray nulKey =
            PropertyList::serialize(QVariantMap{{QStringLiteral(u"\u00e9\u2603"), 1}}, Format::binary)
                .value();
        QVERIFY(nulKey.contains(QByteArray("\x00\xe9\x26\x03", 4)));
        nulKey.replace(QByteArray("\x00\xe9", 2), QByteArray("\x00\x00", 2));
        QTest::newRow("binary key with NUL") << nulKey;
        QByteArray nulText =
            PropertyList::serialize(QVariantMap{{"k", QStringLiteral(u"\u00e9\u2603")}}, Format::binary)
                .value();
        nulText.replace(QByteArray("\x00\xe9", 2), QByteArray("\x00\x00", 2));
        QTest::newRow("binary text with NUL") << nulText;
    }
    void rejects()
    {
        QFETCH(QByteArray, data);
        QVERIFY(!PropertyList::parseDictionary(data));
    }

    // Binary trailers whose offset table does not fit the data: reading it would run past the end.
    void refusesTablesOutsideTheData_data()
    {
        QTest::addColumn<quint64>("objectCount");
        QTest::addColumn<int>("offsetWidth");
        QTest::addColumn<int>("tableBeforeEnd"); // bytes from the table's start to the end of the data
        // One-byte offsets that all point at real objects, so every entry is read.
        QTest::newRow("table past the trailer's start") << quint64(200) << 1 << 10;
        QTest::newRow("table at the last byte") << quint64(64) << 1 << 1;
        QTest::newRow("table runs into the trailer") << quint64(8) << 8 << 40;
    }
    void refusesTablesOutsideTheData()
    {
        QFETCH(quint64, objectCount);
        QFETCH(int, offsetWidth);
        QFETCH(int, tableBeforeEnd);
        // Exactly as large as the file, so that a read past its end cannot land in spare capacity.
        const int size = 300;
        std::vector<char> data(size, '\x08');
        std::copy_n("bplist00", 8, data.begin());
        char* trailer = data.data() + size - 32;
        trailer[6] = char(offsetWidth);
        trailer[7] = 1; // reference width
        for (int i = 0; i < 8; ++i) {
            trailer[8 + i] = char(objectCount >> (56 - 8 * i));
            trailer[24 + i] = char(quint64(size - tableBeforeEnd) >> (56 - 8 * i));
        }
        QVERIFY(!PropertyList::parse(QByteArrayView(data.data(), size)));
    }

    void rootOtherThanDictionary()
    {
        const auto value = PropertyList::parse("<plist><array><string>a</string></array></plist>");
        QVERIFY(value);
        QCOMPARE(value->toList(), QVariantList{QStringLiteral("a")});
    }

    void unreadableFiles()
    {
        TempRoot root;
        QVERIFY(!PropertyList::readDictionaryFile(root.filePath("missing.plist")));
        QVERIFY(!PropertyList::readDictionaryFile(root.makeDirectory("folder.plist")));
        const QString garbage = BundleBuilder(root.path(), "Broken").rawInfoPlist("not a plist").build();
        QVERIFY(!PropertyList::readDictionaryFile(garbage + "/Contents/Info.plist"));
    }

    void unsupportedValuesAreNotWritten()
    {
        QVERIFY(!PropertyList::serialize(QVariant(), Format::xml));
        QVERIFY(!PropertyList::serialize(QVariant::fromValue(QUrl("https://x.test")), Format::xml));
        const QVariantMap withUrl{{"a", QVariant::fromValue(QUrl("https://x.test"))}};
        QVERIFY(!PropertyList::serialize(withUrl, Format::binary));
        TempRoot root;
        QVERIFY(!PropertyList::writeFile(root.filePath("x.plist"), withUrl, Format::xml));
        QVERIFY(!QFile::exists(root.filePath("x.plist")));
    }
};

QTEST_GUILESS_MAIN(TestPropertyList)
#include "tst_propertylist.moc"
