#include "util/NumericCompare.h"

#include <QTest>

using namespace norvelle;

class TestNumericCompare : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void order_data()
    {
        // -1: a orders first, 0: equal, 1: a orders after b.
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("expected");
        auto row = [](const char* name, const QString& a, const QString& b, int expected) {
            QTest::newRow(name) << a << b << expected;
        };
        row("equal", "1.2.3", "1.2.3", 0);
        row("both empty", "", "", 0);
        row("1.9 < 1.10", "1.9", "1.10", -1);
        row("prefix first", "1.0", "1.0.1", -1);
        row("empty first", "", "0", -1);
        row("no case folding", "1.0B", "1.0a", -1);
        row("comma not split", "1.0,100", "1.0,99", 1);
        row("comma vs dot", "1.0,5", "1.0.5", -1);
        row("latest is text", "latest", "1.0", 1);
        row("latest vs later letter", "latest", "nightly", -1);
        row("digit before letter", "1.0", "1.a", -1);
        row("beta", "2.0b3", "2.0b12", -1);
        row("long runs by length", "1.123456789012345678901234567890", "1.99999999999999999999", 1);
        row("long runs equal length", "99999999999999999999999", "99999999999999999999998", 1);
        row("long runs with zeros", "000000000000000000000000001", "2", -1);
        row("leading zero value wins", "1.02", "1.1", 1);
        row("leading zeros are the same number", "1.1", "1.01", 0);
        row("zeros in several runs", "01.1", "1.01", 0);
        row("later difference beats tie", "1.01.2", "1.1.3", -1);
        row("zero vs zeros", "0", "00", 0);
        row("non-ascii by code unit", QStringLiteral(u"1.\u00e9"), "1.z", 1);
    }
    void order()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, expected);
        auto sign = [](std::weak_ordering o) { return o < 0 ? -1 : (o > 0 ? 1 : 0); };
        QCOMPARE(sign(numericCompare(a, b)), expected);
        QCOMPARE(sign(numericCompare(b, a)), -expected); // antisymmetric, so each pair is listed once
    }

    void isConsistentOrderOnSample()
    {
        const QStringList sample = {"1", "01", "1.0", "1.00", "1.01",  "1.1",    "1.10",  "1.9",    "10",
                                    "a", "A",  "",    "1a",   "1.0,5", "latest", "2.0b3", "2.0b12", "001"};
        for (const QString& x : sample) {
            for (const QString& y : sample) {
                QCOMPARE(numericCompare(x, y) == 0, numericCompare(y, x) == 0);
                for (const QString& z : sample) {
                    if (numericCompare(x, y) < 0 && numericCompare(y, z) < 0)
                        QVERIFY2(numericCompare(x, z) < 0, qPrintable(x + " " + y + " " + z));
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestNumericCompare)
#include "tst_numericcompare.moc"
