#include "util/Iso8601.h"

#include <QTest>
#include <QTimeZone>

using namespace norvelle;

class TestIso8601 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void write_data()
    {
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QString>("text");
        QTest::newRow("utc") << QDateTime(QDate(2025, 3, 14), QTime(9, 26, 53), Qt::UTC)
                             << "2025-03-14T09:26:53Z";
        QTest::newRow("offset converted")
            << QDateTime(QDate(2024, 1, 1), QTime(1, 0, 0), QTimeZone(2 * 3600)) << "2023-12-31T23:00:00Z";
        QTest::newRow("milliseconds dropped")
            << QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59, 999), Qt::UTC) << "2024-02-29T23:59:59Z";
    }
    void write()
    {
        QFETCH(QDateTime, time);
        QFETCH(QString, text);
        QCOMPARE(Iso8601::toString(time), text);
    }

    void read_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("withFraction");
        QTest::addColumn<QDateTime>("expected"); // invalid: rejected

        const QDateTime none;
        auto utc = [](int y, int mo, int d, int h, int mi, int s, int ms = 0) {
            return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
        };
        QTest::newRow("zulu") << "2024-01-15T10:30:00Z" << false << utc(2024, 1, 15, 10, 30, 0);
        QTest::newRow("plus offset") << "2024-01-15T10:30:00+02:00" << false << utc(2024, 1, 15, 8, 30, 0);
        QTest::newRow("minus offset") << "2024-01-15T22:30:00-05:30" << false << utc(2024, 1, 16, 4, 0, 0);
        QTest::newRow("zero offset") << "2024-01-15T10:30:00+00:00" << false << utc(2024, 1, 15, 10, 30, 0);
        QTest::newRow("leap day") << "2024-02-29T00:00:00Z" << false << utc(2024, 2, 29, 0, 0, 0);
        QTest::newRow("fraction accepted")
            << "2024-01-15T10:30:00.5Z" << true << utc(2024, 1, 15, 10, 30, 0, 500);
        QTest::newRow("long fraction")
            << "2024-01-15T10:30:00.123456+01:00" << true << utc(2024, 1, 15, 9, 30, 0, 123);
        QTest::newRow("no fraction with option")
            << "2024-01-15T10:30:00Z" << true << utc(2024, 1, 15, 10, 30, 0);

        QTest::newRow("fraction refused") << "2024-01-15T10:30:00.5Z" << false << none;
        QTest::newRow("empty fraction") << "2024-01-15T10:30:00.Z" << true << none;
        QTest::newRow("no zone") << "2024-01-15T10:30:00" << false << none;
        QTest::newRow("date only") << "2024-01-15" << false << none;
        QTest::newRow("space for T") << "2024-01-15 10:30:00Z" << false << none;
        QTest::newRow("lower t") << "2024-01-15t10:30:00Z" << false << none;
        QTest::newRow("lower z") << "2024-01-15T10:30:00z" << false << none;
        QTest::newRow("no seconds") << "2024-01-15T10:30Z" << false << none;
        QTest::newRow("offset without colon") << "2024-01-15T10:30:00+0200" << false << none;
        QTest::newRow("offset hours only") << "2024-01-15T10:30:00+02" << false << none;
        QTest::newRow("compact date") << "20240115T103000Z" << false << none;
        QTest::newRow("february 30") << "2023-02-30T00:00:00Z" << false << none;
        QTest::newRow("no leap day") << "2023-02-29T00:00:00Z" << false << none;
        QTest::newRow("month 13") << "2024-13-01T00:00:00Z" << false << none;
        QTest::newRow("hour 24") << "2024-01-15T24:00:00Z" << false << none;
        QTest::newRow("leap second") << "2016-12-31T23:59:60Z" << false << none;
        QTest::newRow("year zero") << "0000-01-01T00:00:00Z" << false << none;
        QTest::newRow("offset 24h") << "2024-01-15T10:30:00+24:00" << false << none;
        QTest::newRow("trailing text") << "2024-01-15T10:30:00Zx" << false << none;
        QTest::newRow("leading space") << " 2024-01-15T10:30:00Z" << false << none;
        QTest::newRow("week date") << "2024-W03-1T10:30:00Z" << false << none;
        QTest::newRow("fullwidth digit") << QStringLiteral(u"２024-01-15T10:30:00Z") << false << none;
        QTest::newRow("empty") << "" << false << none;
    }
    void read()
    {
        QFETCH(QString, text);
        QFETCH(bool, withFraction);
        QFETCH(QDateTime, expected);
        const auto parsed =
            Iso8601::parse(text, withFraction ? Iso8601::Fraction::accept : Iso8601::Fraction::reject);
        QCOMPARE(parsed.has_value(), expected.isValid());
        if (parsed) {
            QCOMPARE(*parsed, expected);
            QCOMPARE(parsed->timeSpec(), Qt::UTC);
        }
    }
};

QTEST_GUILESS_MAIN(TestIso8601)
#include "tst_iso8601.moc"
