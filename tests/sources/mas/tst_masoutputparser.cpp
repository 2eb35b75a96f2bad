#include "sources/mas/MASOutputParser.h"

#include <QTest>

using namespace norvelle;

class TestMASOutputParser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("parses");
        QTest::addColumn<QString>("appID");
        QTest::addColumn<QString>("appName");

        QTest::newRow("plain") << "497799835 Xcode (15.0)" << true << "497799835"
                               << "Xcode";
        QTest::newRow("tool spacing") << "497799835  Xcode  (15.0)" << true << "497799835"
                                      << "Xcode";
        QTest::newRow("leading blanks") << "  \t497799835 Xcode (15.0)" << true << "497799835"
                                        << "Xcode";
        QTest::newRow("trailing blanks") << "497799835 Xcode (15.0) \t" << true << "497799835"
                                         << "Xcode";
        QTest::newRow("name with spaces") << "1 Final Cut Pro (10.7)" << true << "1"
                                          << "Final Cut Pro";
        QTest::newRow("name ends in parentheses")
            << "409183694 Keynote (Legacy) (13.1)" << true << "409183694"
            << "Keynote (Legacy)";
        QTest::newRow("parentheses inside name") << "7 A (b) c (1.0)" << true << "7"
                                                 << "A (b) c";
        QTest::newRow("tab inside stays") << "7 A\tB (1.0)" << true << "7"
                                          << "A\tB";
        QTest::newRow("close before open is enough") << "7 A) B (1.0" << true << "7"
                                                     << "A) B";
        QTest::newRow("version not kept, any text") << "7 App ()" << true << "7"
                                                    << "App";
        QTest::newRow("non-numeric id kept as printed") << "abc App (1)" << true << "abc"
                                                        << "App";
        QTest::newRow("unicode name") << "7 Pixelmátor Pro (3.5)" << true << "7"
                                      << "Pixelmátor Pro";

        QTest::newRow("no space") << "497799835" << false << ""
                                  << "";
        QTest::newRow("only blanks") << "   \t " << false << ""
                                     << "";
        QTest::newRow("empty") << "" << false << ""
                               << "";
        QTest::newRow("no open parenthesis") << "497799835 Xcode 15.0)" << false << ""
                                             << "";
        QTest::newRow("no close parenthesis") << "497799835 Xcode (15.0" << false << ""
                                              << "";
        QTest::newRow("no parentheses") << "497799835 Xcode 15.0" << false << ""
                                        << "";
        QTest::newRow("empty name") << "497799835 (15.0)" << false << ""
                                    << "";
        QTest::newRow("blank name") << "497799835  \t (15.0)" << false << ""
                                    << "";
        QTest::newRow("tab is not the separator") << "497799835\tXcode\t(15.0)" << false << ""
                                                  << "";
    }
    void listLine()
    {
        QFETCH(QString, line);
        QFETCH(bool, parses);
        const std::optional<MASListEntry> entry = MASOutputParser::parseListLine(line);
        QCOMPARE(entry.has_value(), parses);
        if (!entry)
            return;
        QFETCH(QString, appID);
        QFETCH(QString, appName);
        QCOMPARE(entry->appID, appID);
        QCOMPARE(entry->appName, appName);
    }

    void outdatedLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("parses");
        QTest::addColumn<QString>("appID");
        QTest::addColumn<QString>("installed");
        QTest::addColumn<QString>("store");

        QTest::newRow("plain") << "497799835 Xcode (1.0 -> 1.1)" << true << "497799835"
                               << "1.0"
                               << "1.1";
        QTest::newRow("name with spaces") << "1 Final Cut Pro (10.6 -> 10.7)" << true << "1"
                                          << "10.6"
                                          << "10.7";
        QTest::newRow("blanks inside parentheses") << "1 App ( 1.0\t ->  1.1 )" << true << "1"
                                                   << "1.0"
                                                   << "1.1";
        QTest::newRow("double space before") << "1 App  (1.0 -> 1.1)" << true << "1"
                                             << "1.0"
                                             << "1.1";
        QTest::newRow("empty store version") << "1 App (1.0 -> )" << true << "1"
                                             << "1.0"
                                             << "";
        QTest::newRow("empty both") << "1 App ( -> )" << true << "1"
                                    << ""
                                    << "";
        QTest::newRow("text after parentheses") << "1 App (1.0 -> 1.1) extra" << true << "1"
                                                << "1.0"
                                                << "1.1";
        QTest::newRow("leading space: empty id") << " 1 App (1.0 -> 1.1)" << true << ""
                                                 << "1.0"
                                                 << "1.1";
        QTest::newRow("comma builds kept") << "1 App (1.0,5 -> 1.0,6)" << true << "1"
                                           << "1.0,5"
                                           << "1.0,6";

        QTest::newRow("one version") << "1 App (1.0)" << false << ""
                                     << ""
                                     << "";
        QTest::newRow("two arrows") << "1 App (1.0 -> 1.1 -> 1.2)" << false << ""
                                    << ""
                                    << "";
        QTest::newRow("arrow without spaces") << "1 App (1.0->1.1)" << false << ""
                                              << ""
                                              << "";
        QTest::newRow("no parentheses") << "1 App 1.0 -> 1.1" << false << ""
                                        << ""
                                        << "";
        QTest::newRow("no space before parenthesis") << "1 App(1.0 -> 1.1)" << false << ""
                                                     << ""
                                                     << "";
        QTest::newRow("no close") << "1 App (1.0 -> 1.1" << false << ""
                                  << ""
                                  << "";
        QTest::newRow("close before open") << "1 A) App (1.0 -> 1.1)" << false << ""
                                           << ""
                                           << "";
        QTest::newRow("name ends in parentheses") << "1 Keynote (Legacy) (1.0 -> 1.1)" << false << ""
                                                  << ""
                                                  << "";
        QTest::newRow("empty") << "" << false << ""
                               << ""
                               << "";
    }
    void outdatedLine()
    {
        QFETCH(QString, line);
        QFETCH(bool, parses);
        const std::optional<MASOutdated> entry = MASOutputParser::parseOutdatedLine(line);
        QCOMPARE(entry.has_value(), parses);
        if (!entry)
            return;
        QFETCH(QString, appID);
        QFETCH(QString, installed);
        QFETCH(QString, store);
        QCOMPARE(entry->appID, appID);
        QCOMPARE(entry->installedVersion, installed);
        QCOMPARE(entry->storeVersion, store);
    }

    void splitLines_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("line feeds") << QByteArray("a\nb\n") << QStringList{"a", "b"};
        QTest::newRow("crlf leaves no empty piece") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
        QTest::newRow("unicode line separator") << QByteArray("a\xe2\x80\xa8"
                                                              "b")
                                                << QStringList{"a", "b"};
        QTest::newRow("blank line kept untrimmed") << QByteArray("a\n  \nb") << QStringList{"a", "  ", "b"};
        QTest::newRow("empty") << QByteArray() << QStringList{};
        QTest::newRow("invalid utf-8 gives nothing") << QByteArray("a\n\xff\nb\n") << QStringList{};
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
