#include "sources/mas/MASOutputParser.h"

#include <QTest>

using namespace norvelle;

class TestMASOutputParser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("appID"); // both empty: no entry
        QTest::addColumn<QString>("appName");
        // clang-format off
        QTest::newRow("tool spacing") << "497799835  Xcode  (15.0)" << "497799835" << "Xcode";
        QTest::newRow("leading and trailing blanks") << "  \t1 Xcode (15.0) \t" << "1" << "Xcode";
        QTest::newRow("name ends in parentheses") << "2 Keynote (Legacy) (13.1)" << "2" << "Keynote (Legacy)";
        QTest::newRow("close before last open") << "3 A) B (1.0" << "3" << "A) B";
        QTest::newRow("no space") << "497799835" << "" << "";
        QTest::newRow("tab is no separator") << "4\tXcode\t(15.0)" << "" << "";
        QTest::newRow("no open parenthesis") << "5 Xcode 15.0)" << "" << "";
        QTest::newRow("no close parenthesis") << "6 Xcode (15.0" << "" << "";
        QTest::newRow("blank name") << "7  \t (15.0)" << "" << "";
        QTest::newRow("identifier mixing digits and letters") << "12ab34 Some App (1.0)" << "" << "";
        QTest::newRow("identifier in other digits") << "\u0661\u0662 Some App (1.0)" << "" << "";
        // clang-format on
    }
    void listLine()
    {
        QFETCH(QString, line);
        QFETCH(QString, appID);
        QFETCH(QString, appName);
        const std::optional<MASListEntry> entry = MASOutputParser::parseListLine(line);
        QCOMPARE(entry.has_value(), !appID.isEmpty());
        if (entry)
            QCOMPARE(*entry, (MASListEntry{appID, appName}));
    }

    void outdatedLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("fields"); // appID, installed, store; empty: no entry
        // clang-format off
        QTest::newRow("plain") << "497799835 Xcode (1.0 -> 1.1)" << QStringList{"497799835", "1.0", "1.1"};
        QTest::newRow("blanks inside") << "1 App ( 1.0\t ->  1.1 )" << QStringList{"1", "1.0", "1.1"};
        QTest::newRow("empty store version") << "1 App (1.0 -> )" << QStringList{"1", "1.0", ""};
        QTest::newRow("leading space: empty id") << " 1 App (1.0 -> 1.1)" << QStringList{"", "1.0", "1.1"};
        QTest::newRow("one version") << "1 App (1.0)" << QStringList{};
        QTest::newRow("two arrows") << "1 App (1.0 -> 1.1 -> 1.2)" << QStringList{};
        QTest::newRow("arrow without spaces") << "1 App (1.0->1.1)" << QStringList{};
        QTest::newRow("no space before parenthesis") << "1 App(1.0 -> 1.1)" << QStringList{};
        QTest::newRow("no close") << "1 App (1.0 -> 1.1" << QStringList{};
        QTest::newRow("close before open") << "1 A) App (1.0 -> 1.1)" << QStringList{};
        QTest::newRow("name ends in parentheses") << "1 Keynote (Legacy) (1.0 -> 1.1)" << QStringList{};
        // clang-format on
    }
    void outdatedLine()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, fields);
        const std::optional<MASOutdated> entry = MASOutputParser::parseOutdatedLine(line);
        QCOMPARE(entry.has_value(), !fields.isEmpty());
        if (entry)
            QCOMPARE(*entry, (MASOutdated{fields[0], fields[1], fields[2]}));
    }

    void splitLines_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QStringList>("lines");
        // clang-format off
        QTest::newRow("crlf leaves no empty piece") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
        QTest::newRow("unicode line separator") << QByteArray("a\xe2\x80\xa8" "b") << QStringList{"a", "b"};
        QTest::newRow("blank line kept untrimmed") << QByteArray("a\n  \nb") << QStringList{"a", "  ", "b"};
        QTest::newRow("invalid utf-8 costs its line") << QByteArray("a\n\xff\nb\n") << QStringList{"a", "b"};
        // clang-format on
    }
    void splitLines()
    {
        QFETCH(QByteArray, output);
        QFETCH(QStringList, lines);
        QCOMPARE(MASOutputParser::splitLines(output), lines);
    }
};

QTEST_GUILESS_MAIN(TestMASOutputParser)
#include "tst_masoutputparser.moc"
