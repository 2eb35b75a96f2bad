#include "SyntheticCatalogue.h"
#include "sources/brew/CatalogueReader.h"
#include "util/JsonError.h"

#include <QtTest>

using namespace norvelle;

namespace {

// The reader's outcome as text: the description of what it threw, or "none", or the casks.
QString outcome(const std::function<std::optional<QMap<QString, Cask>>()>& read, QMap<QString, Cask>* casks)
{
    try {
        const std::optional<QMap<QString, Cask>> result = read();
        if (!result)
            return QStringLiteral("none");
        *casks = *result;
        return QStringLiteral("%1 casks").arg(result->size());
    } catch (const JsonError& error) {
        return QStringLiteral("JsonError: ") + error.description();
    }
}

} // namespace

// The fast reader must read the catalogue exactly as CaskParser reads it through Qt's parser:
// same casks, same refusals, same error texts.
class TestCatalogueReader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsAsQtAndTheCaskParserDo_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("expected");
        QTest::newRow("full-size synthetic catalogue")
            << test::SyntheticCatalogue(2000, 3).json() << QString();
        QTest::newRow("null and wrong types count as absent")
            << QByteArray(R"([{"token":"a","version":"1","desc":null,"name":["First","Second"],"homepage":5,)"
                          R"("caveats":null,"deprecated":"yes","disabled":1,"artifacts":{"app":["A.app"]}}])")
            << "1 casks";
        QTest::newRow("names with a number, empty caveats, a pkg without app")
            << QByteArray(R"([{"token":"a","version":"1","name":["A",2],"caveats":"",)"
                          R"("artifacts":[{"pkg":["x.pkg"]},"zap",7]}])")
            << "1 casks";
        QTest::newRow("caveats: sudo in capitals, and without artifacts")
            << QByteArray(R"([{"token":"a","version":"1","caveats":"Needs SUDO","artifacts":[]},)"
                          R"({"token":"b","version":"1","caveats":"needs sudo"}])")
            << "2 casks";
        QTest::newRow("app lists: with an object, of strings, repeated")
            << QByteArray(R"([{"token":"a","version":"1","artifacts":[{"app":["A.app",{"target":"B.app"}]},)"
                          R"({"app":["C.app","D.app"]},{"app":5,"app":["E.app"]},{"installer":null}]}])")
            << "1 casks";
        QTest::newRow("repeated members, repeated and unusable entries")
            << QByteArray(R"([{"token":"a","version":"1","version":"2","desc":"x","desc":null},)"
                          R"({"token":"a","version":"3"},{},{"version":"1"},{"token":5,"version":"1"},)"
                          R"({"token":"b","version":null}])")
            << "1 casks";
        QTest::newRow("escapes, non-ASCII, homepages")
            << QByteArray(
                   R"([{"token":"caf\u00e9","version":"1\n2","desc":"\ud83d\ude00 \u0022q\u0022",)"
                   R"("homepage":"https://example.com/a b"},{"token":"b","version":"1","homepage":"ftp://x"},)"
                   R"({"token":"c","version":"1","homepage":"/relative"}])")
            << "3 casks";
        QTest::newRow("numbers of every size")
            << QByteArray(R"([{"token":"a","version":"1","n":[1,-1,1.5,1e300,18446744073709551615,)"
                          R"(123456789012345678901234567890]}])")
            << "1 casks";
        QTest::newRow("empty array") << QByteArray("[]") << "0 casks";
        QTest::newRow("object at the top") << QByteArray(R"({"token":"a"})") << "none";
        QTest::newRow("array with a string") << QByteArray(R"([{"token":"a","version":"1"},"b"])") << "none";
        QTest::newRow("not JSON") << QByteArray("<html>") << QString();
        QTest::newRow("truncated") << QByteArray(R"([{"token":"a")") << QString();
        QTest::newRow("scalar at the top") << QByteArray("5") << QString();
        QTest::newRow("bad UTF-8") << QByteArray("[{\"token\":\"\xff\",\"version\":\"1\"}]") << QString();
        QTest::newRow("lone surrogate") << QByteArray(R"([{"token":"\ud800","version":"1"}])") << QString();
    }

    void readsAsQtAndTheCaskParserDo()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, expected);
        QMap<QString, Cask> fast, reference;
        const QString fastOutcome = outcome([&] { return CatalogueReader::read(document); }, &fast);
        const QString referenceOutcome =
            outcome([&] { return CatalogueReader::readWithQt(document); }, &reference);
        QCOMPARE(fastOutcome, referenceOutcome);
        if (!expected.isEmpty())
            QCOMPARE(fastOutcome, expected);
        QVERIFY(fast == reference);
        // A document handed over whole (a downloaded body, read where it lies) reads the same,
        // whether or not it has room for the parser's padding.
        for (const qsizetype room : {qsizetype(0), qsizetype(4096)}) {
            QByteArray owned(document.constData(), document.size());
            owned.reserve(document.size() + room);
            QMap<QString, Cask> inPlace;
            QCOMPARE(outcome([&] { return CatalogueReader::read(std::move(owned)); }, &inPlace),
                     referenceOutcome);
            QVERIFY(inPlace == reference);
        }
    }
};

QTEST_GUILESS_MAIN(TestCatalogueReader)
#include "tst_cataloguereader.moc"
