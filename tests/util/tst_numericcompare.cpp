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
        QTest::newRow("equal") << "1.2.3"
                               << "1.2.3" << 0;
        QTest::newRow("both empty") << ""
                                    << "" << 0;
        QTest::newRow("1.9 < 1.10") << "1.9"
                                    << "1.10" << -1;
        QTest::newRow("1.10 > 1.9") << "1.10"
                                    << "1.9" << 1;
        QTest::newRow("2 > 10 is false") << "2"
                                         << "10" << -1;
        QTest::newRow("prefix first") << "1.0"
                                      << "1.0.1" << -1;
        QTest::newRow("empty first") << ""
                                     << "0" << -1;
        QTest::newRow("no case folding") << "1.0B"
                                         << "1.0a" << -1;
        QTest::newRow("upper before lower") << "A"
                                            << "a" << -1;
        QTest::newRow("comma not split") << "1.0,100"
                                         << "1.0,99" << 1;
        QTest::newRow("comma vs dot") << "1.0,5"
                                      << "1.0.5" << -1;
        QTest::newRow("latest is text") << "latest"
                                        << "1.0" << 1;
        QTest::newRow("latest vs later letter") << "latest"
                                                << "nightly" << -1;
        QTest::newRow("digit before letter") << "1.0"
                                             << "1.a" << -1;
        QTest::newRow("beta") << "2.0b3"
                              << "2.0b12" << -1;
        QTest::newRow("long runs by length") << "1.123456789012345678901234567890"
                                             << "1.99999999999999999999" << 1;
        QTest::newRow("long runs equal length") << "99999999999999999999999"
                                                << "99999999999999999999998" << 1;
        QTest::newRow("long runs with zeros") << "000000000000000000000000001"
                                              << "2" << -1;
        QTest::newRow("leading zero value wins") << "1.02"
                                                 << "1.1" << 1;
        QTest::newRow("leading zeros are the same number") << "1.1"
                                                           << "1.01" << 0;
        QTest::newRow("zeros in several runs") << "01.1"
                                               << "1.01" << 0;
        QTest::newRow("later difference beats tie") << "1.01.2"
                                                    << "1.1.3" << -1;
        QTest::newRow("zero vs zeros") << "0"
                                       << "00" << 0;
        QTest::newRow("non-ascii by code unit") << QStringLiteral(u"1.\u00e9") << "1.z" << 1;
    }
    void order()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, expected);
        auto sign = [](std::weak_ordering o) { return o < 0 ? -1 : (o > 0 ? 1 : 0); };
        QCOMPARE(sign(numericCompare(a, b)), expected);
        QCOMPARE(sign(numericCompare(b, a)), -expected); // antisymmetric
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
