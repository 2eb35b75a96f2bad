#include "SyntheticCatalogue.h"
#include "sources/brew/CatalogueReader.h"
#include "sources/brew/CatalogueStream.h"
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
        QTest::addColumn<bool>("streamed"); // read while downloading, not left to the reader
        QTest::newRow("full-size synthetic catalogue")
            << test::SyntheticCatalogue(2000, 3).json() << QString() << true;
        QTest::newRow("null and wrong types count as absent")
            << QByteArray(R"([{"token":"a","version":"1","desc":null,"name":["First","Second"],"homepage":5,)"
                          R"("caveats":null,"deprecated":"yes","disabled":1,"artifacts":{"app":["A.app"]}}])")
            << "1 casks" << true;
        QTest::newRow("names with a number, empty caveats, a pkg without app")
            << QByteArray(R"([{"token":"a","version":"1","name":["A",2],"caveats":"",)"
                          R"("artifacts":[{"pkg":["x.pkg"]},"zap",7]}])")
            << "1 casks" << true;
        QTest::newRow("caveats: sudo in capitals, and without artifacts")
            << QByteArray(R"([{"token":"a","version":"1","caveats":"Needs SUDO","artifacts":[]},)"
                          R"({"token":"b","version":"1","caveats":"needs sudo"}])")
            << "2 casks" << true;
        QTest::newRow("app lists: with an object, of strings, repeated")
            << QByteArray(R"([{"token":"a","version":"1","artifacts":[{"app":["A.app",{"target":"B.app"}]},)"
                          R"({"app":["C.app","D.app"]},{"app":5,"app":["E.app"]},{"installer":null}]}])")
            << "1 casks" << true;
        QTest::newRow("repeated members, repeated and unusable entries")
            << QByteArray(R"([{"token":"a","version":"1","version":"2","desc":"x","desc":null},)"
                          R"({"token":"a","version":"3"},{},{"version":"1"},{"token":5,"version":"1"},)"
                          R"({"token":"b","version":null}])")
            << "1 casks" << true;
        QTest::newRow("escapes, non-ASCII, homepages")
            << QByteArray(
                   R"([{"token":"caf\u00e9","version":"1\n2","desc":"\ud83d\ude00 \u0022q\u0022",)"
                   R"("homepage":"https://example.com/a b"},{"token":"b","version":"1","homepage":"ftp://x"},)"
                   R"({"token":"c","version":"1","homepage":"/relative"}])")
            << "3 casks" << true;
        QTest::newRow("numbers of every size")
            << QByteArray(R"([{"token":"a","version":"1","n":[1,-1,1.5,1e300,18446744073709551615,)"
                          R"(123456789012345678901234567890]}])")
            << "1 casks" << false;
        QTest::newRow("empty array") << QByteArray("[]") << "0 casks" << true;
        QTest::newRow("object at the top") << QByteArray(R"({"token":"a"})") << "none" << false;
        QTest::newRow("array with a string")
            << QByteArray(R"([{"token":"a","version":"1"},"b"])") << "none" << false;
        QTest::newRow("not JSON") << QByteArray("<html>") << QString() << false;
        QTest::newRow("truncated") << QByteArray(R"([{"token":"a")") << QString() << false;
        QTest::newRow("scalar at the top") << QByteArray("5") << "none" << false;
        QTest::newRow("null at the top") << QByteArray(" null\n") << "none" << false;
        QTest::newRow("bad UTF-8") << QByteArray("[{\"token\":\"\xff\",\"version\":\"1\"}]") << QString()
                                   << false;
        // Written with ' for ", so the escapes stay readable.
        QTest::newRow("escaped quotes and brackets in strings")
            << QByteArray("[{'token':'a\\']},{','version':'1\\\\','desc':'[{\\'x\\\\\\'}]\\\\'},"
                          "{'token':'b','version':'2','caveats':'}]\\\\'}]")
                   .replace('\'', '"')
            << "2 casks" << true;
        QTest::newRow("nested arrays and objects")
            << QByteArray(R"([{"token":"a","version":"1","artifacts":[[{"app":["A.app"]}],{"app":["B.app"]},)"
                          R"([[]]],"x":{"y":[{},{"z":[1,[2]]}]}}])")
            << "1 casks" << true;
        QTest::newRow("brackets in a string longer than a block")
            << QByteArray("[{\"token\":\"a\",\"version\":\"1\",\"desc\":\"" + QByteArray(100, '}') + "[" +
                          QByteArray(100, ']') + "\"},{\"token\":\"b\",\"version\":\"1\"}]")
            << "2 casks" << true;
        QTest::newRow("whitespace around and between entries")
            << QByteArray(" \r\n\t[ \n{\"token\":\"a\",\"version\":\"1\"} ,\t{\"token\":\"b\","
                          "\"version\":\"1\"}\r\n] \n")
            << "2 casks" << true;
        QTest::newRow("entry larger than a batch, between two of one token")
            << QByteArray(R"([{"token":"a","version":"1"},{"token":"big","version":"1","desc":")" +
                          QByteArray(CatalogueStream::defaultBatchBytes + 10, 'x') +
                          R"("},{"token":"a","version":"2"}])")
            << "2 casks" << true;
        QTest::newRow("trailing comma")
            << QByteArray(R"([{"token":"a","version":"1"},])") << QString() << false;
        QTest::newRow("garbage after the array")
            << QByteArray(R"([{"token":"a","version":"1"}] x)") << QString() << false;
        QTest::newRow("array in the array")
            << QByteArray(R"([{"token":"a","version":"1"},[{"token":"b","version":"1"}]])") << "none"
            << false;
        QTest::newRow("entry with mismatched brackets")
            << QByteArray(R"([{"token":"a","version":"1","x":[}],{"token":"b","version":"1"}])") << QString()
            << false;
        QTest::newRow("lone surrogate")
            << QByteArray(R"([{"token":"\ud800","version":"1"}])") << QString() << false;
    }

    void readsAsQtAndTheCaskParserDo()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, expected);
        QFETCH(bool, streamed);
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
        // Read while it arrives, in pieces and batches of any size: the same casks, or nothing
        // (the reader then decides) where the document is not a clean array of objects.
        for (const qsizetype piece : {qsizetype(1), qsizetype(7), qsizetype(100), document.size()}) {
            for (const qsizetype batch : {qsizetype(1), CatalogueStream::defaultBatchBytes}) {
                CatalogueStream stream(batch);
                for (qsizetype at = 0; at < document.size(); at += piece)
                    stream.append(QByteArrayView(document).sliced(at, std::min(piece, document.size() - at)));
                const std::optional<QMap<QString, Cask>> casks = stream.finish(document);
                QCOMPARE(casks.has_value(), streamed);
                QVERIFY(!casks || *casks == reference);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestCatalogueReader)
#include "tst_cataloguereader.moc"
