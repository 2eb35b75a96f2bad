#include "platform/updater/VersionComparator.h"

#include <QtTest>

using norvelle::VersionComparator;

class VersionComparatorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ordering_data();
    void ordering();
    void equivalence_data();
    void equivalence();
    void sortsAListIntoReleaseOrder();
};

void VersionComparatorTest::ordering_data()
{
    QTest::addColumn<QString>("older");
    QTest::addColumn<QString>("newer");

    // numbers
    QTest::newRow("minor") << "1.0"
                           << "1.1";
    QTest::newRow("major beats longer") << "1.9.9"
                                        << "2";
    QTest::newRow("numeric not textual") << "9.0"
                                         << "10.0";
    QTest::newRow("numeric inside") << "1.2.9"
                                    << "1.2.10";
    QTest::newRow("extra component") << "1.0"
                                     << "1.0.1";
    QTest::newRow("zero padding ends at the numbers") << "1.0pre1"
                                                      << "1.0.0";
    QTest::newRow("hash does not hide a release") << "1.5.5-335d3e2"
                                                  << "1.5.6-a655360";
    QTest::newRow("plain build numbers") << "999"
                                         << "1000";
    QTest::newRow("leading zeros by value") << "1.09"
                                            << "1.10";
    QTest::newRow("huge numbers") << "20231231235959"
                                  << "20240101000000";
    QTest::newRow("beyond 64 bits") << "18446744073709551616"
                                    << "18446744073709551617";
    QTest::newRow("empty is oldest") << ""
                                     << "0";

    // pre-release text
    QTest::newRow("beta before release") << "1.0b1"
                                         << "1.0";
    QTest::newRow("alpha before beta") << "1.0a"
                                       << "1.0b";
    QTest::newRow("beta numbers") << "1.0b1"
                                  << "1.0b2";
    QTest::newRow("beta number by value") << "1.0b9"
                                          << "1.0b10";
    QTest::newRow("rc before release") << "2.0rc1"
                                       << "2.0";
    QTest::newRow("release before next beta") << "1.0"
                                              << "1.0.1b1";
    QTest::newRow("dotted beta before release") << "1.0.b1"
                                                << "1.0.1";
    QTest::newRow("spelled beta before release") << "1.0 beta"
                                                 << "1.0";
    QTest::newRow("dashed beta before release") << "1.0-beta"
                                                << "1.0";
    QTest::newRow("text sorts before number") << "1.a"
                                              << "1.0";
    QTest::newRow("text compares by case") << "1.0B"
                                           << "1.0a";
    QTest::newRow("beta before rc") << "3.0beta2"
                                    << "3.0rc1";
    QTest::newRow("number after separator") << "1.0.b"
                                            << "1.0.0";
}

void VersionComparatorTest::ordering()
{
    QFETCH(QString, older);
    QFETCH(QString, newer);
    QVERIFY2(VersionComparator::compare(older, newer) < 0, qPrintable(older + " < " + newer));
    QVERIFY2(VersionComparator::compare(newer, older) > 0, qPrintable(newer + " > " + older));
    QCOMPARE(VersionComparator::compare(older, older), 0);
    QCOMPARE(VersionComparator::compare(newer, newer), 0);
    QVERIFY(VersionComparator::isNewer(newer, older));
    QVERIFY(!VersionComparator::isNewer(older, newer));
    QVERIFY(!VersionComparator::isNewer(newer, newer));
}

void VersionComparatorTest::equivalence_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::newRow("trailing zero component") << "2.1"
                                             << "2.1.0";
    QTest::newRow("several missing components") << "2"
                                                << "2.0.0";
    QTest::newRow("before a build in parentheses") << "3.3 (5847)"
                                                   << "3.3.0 (5847)";
    QTest::newRow("before a pre-release") << "1.0pre1"
                                          << "1.0.0pre1";
    QTest::newRow("date stamp") << "201210251627"
                                << "201210251627.0";
    QTest::newRow("commit hashes") << "1.5.5-335d3e2"
                                   << "1.5.5-a655360";
    QTest::newRow("commit hash and none") << "1.5.5-335d3e2"
                                          << "1.5.5";
    QTest::newRow("git describe") << "2.0-3-g335d3e2"
                                  << "2.0-3-gabc1234";
}

void VersionComparatorTest::equivalence()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QCOMPARE(VersionComparator::compare(a, b), 0);
    QCOMPARE(VersionComparator::compare(b, a), 0);
    QVERIFY(!VersionComparator::isNewer(b, a));
}

void VersionComparatorTest::sortsAListIntoReleaseOrder()
{
    const QStringList expected{"0.9", "1.0a1", "1.0a2", "1.0b1", "1.0b2", "1.0rc1",
                               "1.0", "1.0.1", "1.1",   "1.10",  "2"};
    QStringList shuffled{"1.10",  "1.0b2", "2",     "1.0",   "0.9",  "1.0rc1",
                         "1.0a2", "1.1",   "1.0.1", "1.0a1", "1.0b1"};
    std::sort(shuffled.begin(), shuffled.end(),
              [](const QString& a, const QString& b) { return VersionComparator::compare(a, b) < 0; });
    QCOMPARE(shuffled, expected);

    // Leading zeros and the choice of separator do not tell versions apart.
    QCOMPARE(VersionComparator::compare("1.01", "1.1"), 0);
    QCOMPARE(VersionComparator::compare("1-1", "1.1"), 0);
    QCOMPARE(VersionComparator::compare("1.0.", "1.0"), 0);
}

QTEST_GUILESS_MAIN(VersionComparatorTest)
#include "tst_updater_versioncomparator.moc"
