#include "util/StrictText.h"

#include <QTest>

using namespace norvelle;

class TestStrictText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QByteArray() << true << QString();
        QTest::newRow("ascii") << QByteArray("firefox\n") << true << QStringLiteral("firefox\n");
        QTest::newRow("two-byte") << QByteArray("caf\xc3\xa9") << true << QStringLiteral(u"café");
        QTest::newRow("four-byte") << QByteArray("\xf0\x9f\x98\x80") << true << QStringLiteral(u"😀");
        QTest::newRow("nul kept") << QByteArray("a\0b", 3) << true << QString(QStringLiteral(u"a\u0000b"));
        QTest::newRow("bom dropped") << QByteArray("\xef\xbb\xbfx") << true << QStringLiteral("x");
        QTest::newRow("lone continuation") << QByteArray("a\x80") << false << QString();
        QTest::newRow("latin-1 byte") << QByteArray("caf\xe9") << false << QString();
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << false << QString();
        QTest::newRow("overlong three") << QByteArray("\xe0\x80\xaf") << false << QString();
        QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false << QString();
        QTest::newRow("beyond 10FFFF") << QByteArray("\xf4\x90\x80\x80") << false << QString();
        QTest::newRow("cut at end") << QByteArray("ok\xe2\x82") << false << QString();
        QTest::newRow("ff byte") << QByteArray("\xff") << false << QString();
    }
    void decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QFETCH(QString, text);
        const auto decoded = decodeUtf8Strict(bytes);
        QCOMPARE(decoded.has_value(), valid);
        if (valid)
            QCOMPARE(*decoded, text);
    }

    void trim_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("all");
        QTest::addColumn<QString>("spacesAndTabs");
        auto row = [](const char* name, const QString& input, const QString& all,
                      const QString& spacesAndTabs) { QTest::newRow(name) << input << all << spacesAndTabs; };
        row("plain", "a b", "a b", "a b");
        row("spaces", "  a b  ", "a b", "a b");
        row("tabs", "\ta\t", "a", "a");
        row("crlf", "a\r\n", "a", "a\r\n");
        row("newline inside", " a\nb ", "a\nb", "a\nb");
        row("leading newline", "\n a", "a", "\n a");
        row("nbsp", QStringLiteral(u"\u00a0a\u00a0"), "a", "a");
        row("ideographic space", QStringLiteral(u"\u3000a"), "a", "a");
        row("line separator", QStringLiteral(u"a\u2028"), "a", QStringLiteral(u"a\u2028"));
        row("nel", QStringLiteral(u"\u0085a"), "a", QStringLiteral(u"\u0085a"));
        row("vertical tab", "\va\f", "a", "\va\f");
        row("only blanks", " \t\r\n ", "", "\r\n");
        row("empty", "", "", "");
    }
    void trim()
    {
        QFETCH(QString, input);
        QFETCH(QString, all);
        QFETCH(QString, spacesAndTabs);
        QCOMPARE(trimWhitespaceAndNewlines(input), all);
        QCOMPARE(trimSpacesAndTabs(input), spacesAndTabs);
    }

    void split_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("pieces");
        QTest::newRow("empty") << "" << QStringList();
        QTest::newRow("only newlines") << "\n\r\n\n" << QStringList();
        QTest::newRow("lf") << "a\nb\n" << QStringList{"a", "b"};
        QTest::newRow("crlf gives no empty piece") << "a\r\nb\r\n" << QStringList{"a", "b"};
        QTest::newRow("not trimmed") << " a \n\tb" << QStringList{" a ", "\tb"};
        QTest::newRow("vt ff cr") << "a\vb\fc\rd" << QStringList{"a", "b", "c", "d"};
        QTest::newRow("unicode breaks")
            << QStringLiteral(u"a\u0085b\u2028c\u2029d") << QStringList{"a", "b", "c", "d"};
        QTest::newRow("nbsp is not a break")
            << QStringLiteral(u"a\u00a0b") << QStringList{QStringLiteral(u"a\u00a0b")};
        QTest::newRow("no trailing newline") << "x" << QStringList{"x"};
    }
    void split()
    {
        QFETCH(QString, input);
        QFETCH(QStringList, pieces);
        QCOMPARE(splitAtNewlines(input), pieces);
    }

    void int64_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("value");
        QTest::newRow("eight digits") << "12345678" << true << qint64(12345678);
        QTest::newRow("plus") << "+7" << true << qint64(7);
        QTest::newRow("minus") << "-7" << true << qint64(-7);
        QTest::newRow("leading zeros") << "007" << true << qint64(7);
        QTest::newRow("max") << "9223372036854775807" << true << std::numeric_limits<qint64>::max();
        QTest::newRow("min") << "-9223372036854775808" << true << std::numeric_limits<qint64>::min();
        QTest::newRow("max + 1") << "9223372036854775808" << false << qint64(0);
        QTest::newRow("min - 1") << "-9223372036854775809" << false << qint64(0);
        QTest::newRow("huge") << "99999999999999999999999" << false << qint64(0);
        QTest::newRow("empty") << "" << false << qint64(0);
        QTest::newRow("sign only") << "-" << false << qint64(0);
        QTest::newRow("unit") << "1024 MB" << false << qint64(0);
        QTest::newRow("space") << " 12" << false << qint64(0);
        QTest::newRow("decimal") << "1.0" << false << qint64(0);
        QTest::newRow("arabic-indic digit") << QStringLiteral(u"\u0661") << false << qint64(0);
        QTest::newRow("two signs") << "+-1" << false << qint64(0);
    }
    void int64()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(qint64, value);
        const auto parsed = parseInt64Strict(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(*parsed, value);
    }

    void decodeLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("invalid");
        QTest::newRow("bad middle line") << QByteArray("a\n\xff\nb\n") << QStringList{"a", "b"} << 1;
        QTest::newRow("bad last line, no line feed") << QByteArray("a\nb\xc3") << QStringList{"a"} << 1;
        QTest::newRow("crlf and separators") << QByteArray("a\r\nb\xe2\x80\xa8" "c\n\n")
                                             << QStringList{"a", "b", "c"} << 0;
        // A sequence cut by the line feed is two bad lines, not one good one.
        QTest::newRow("sequence split by a line feed") << QByteArray("\xe2\x80\n\xa8") << QStringList{} << 2;
    }
    void decodeLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QFETCH(int, invalid);
        qsizetype counted = -1;
        QCOMPARE(decodeUtf8Lines(bytes, &counted), lines);
        QCOMPARE(counted, qsizetype(invalid));
    }
};

QTEST_GUILESS_MAIN(TestStrictText)
#include "tst_stricttext.moc"
