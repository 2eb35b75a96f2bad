#include "model/AdoptionProgress.h"
#include "model/UpdateProgress.h"

#include <QTest>
#include <cmath>
#include <functional>

using namespace norvelle;
using ProgressChange = std::function<void(UpdateProgress&)>;
Q_DECLARE_METATYPE(ProgressChange)

namespace {

const QUuid kAppId = QUuid::createUuid();
const QUuid kRecordId = QUuid::createUuid();

std::shared_ptr<Application> makeApplication(const QUuid& id = kAppId)
{
    return Application::create(id, QStringLiteral("App"), QStringLiteral("com.example.app"),
                               QUrl::fromLocalFile(QStringLiteral("/Applications/App.app")),
                               QStringLiteral("1.0"),
                               QList<Application::Source>{Application::Source::homebrew});
}

UpdateProgress baseProgress()
{
    return UpdateProgress{kRecordId,
                          makeApplication(), // a distinct object with the same id every time
                          UpdateProgress::Status::installing,
                          0.3,
                          QStringLiteral("==> Installing"),
                          QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC),
                          std::nullopt,
                          {QStringLiteral("==> Downloading"), QStringLiteral("==> Installing")}};
}

} // namespace

class TestProgressRecords : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void updateStatusRawValues_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<int>("expected");
        using S = UpdateProgress::Status;
        const char* names[] = {"queued",    "downloading", "installing", "verifying",
                               "completed", "failed",      "cancelled"};
        for (int i = 0; i <= int(S::cancelled); ++i)
            QTest::newRow(names[i]) << QString::fromLatin1(names[i]) << i;
        QTest::newRow("Completed") << "Completed" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("adopting") << "adopting" << -1;
    }
    void updateStatusRawValues()
    {
        QFETCH(QString, raw);
        QFETCH(int, expected);
        const auto status = UpdateProgress::statusFromRawValue(raw);
        QCOMPARE(status.has_value(), expected >= 0);
        if (status) {
            QCOMPARE(int(*status), expected);
            QCOMPARE(toRawValue(*status), raw);
            QCOMPARE(qHash(*status, 9), qHash(raw, 9));
        }
    }

    void adoptionStatusRawValues_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<int>("expected");
        const char* names[] = {"queued",    "downloading", "adopting", "verifying",
                               "completed", "failed",      "cancelled"};
        for (int i = 0; i <= int(AdoptionProgress::Status::cancelled); ++i)
            QTest::newRow(names[i]) << QString::fromLatin1(names[i]) << i;
        QTest::newRow("installing") << "installing" << -1;
        QTest::newRow("Queued") << "Queued" << -1;
    }
    void adoptionStatusRawValues()
    {
        QFETCH(QString, raw);
        QFETCH(int, expected);
        const auto status = AdoptionProgress::statusFromRawValue(raw);
        QCOMPARE(status.has_value(), expected >= 0);
        if (status) {
            QCOMPARE(int(*status), expected);
            QCOMPARE(toRawValue(*status), raw);
        }
    }

    void updateProgressEquality_data()
    {
        QTest::addColumn<ProgressChange>("change");
        QTest::addColumn<bool>("equal");
        auto row = [](const char* name, bool equal, ProgressChange c) { QTest::newRow(name) << c << equal; };
        row("other object, same app id", true, [](UpdateProgress&) {});
        row("negative zero", false, [](UpdateProgress& p) { p.progress = -0.0; }); // 0.3 vs -0.0
        row("fresh id", false, [](UpdateProgress& p) { p.id = QUuid::createUuid(); });
        row("other application", false,
            [](UpdateProgress& p) { p.application = makeApplication(QUuid::createUuid()); });
        row("status", false, [](UpdateProgress& p) { p.status = UpdateProgress::Status::verifying; });
        row("last bit", false, [](UpdateProgress& p) { p.progress = std::nextafter(0.3, 1.0); });
        row("step", false, [](UpdateProgress& p) { p.currentStep.append(QLatin1Char(' ')); });
        row("start", false, [](UpdateProgress& p) { p.startTime = p.startTime.addMSecs(1); });
        row("estimate", false, [](UpdateProgress& p) { p.estimatedCompletion = p.startTime; });
        row("one more line", false, [](UpdateProgress& p) { p.brewOutput.append(QStringLiteral("done")); });
        row("lines swapped", false, [](UpdateProgress& p) { std::swap(p.brewOutput[0], p.brewOutput[1]); });
    }
    void updateProgressEquality()
    {
        QFETCH(ProgressChange, change);
        QFETCH(bool, equal);
        const UpdateProgress a = baseProgress();
        UpdateProgress b = baseProgress();
        QVERIFY(a.application != b.application);
        change(b);
        QCOMPARE(a == b, equal);
        QCOMPARE(b == a, equal);
        if (equal)
            QCOMPARE(qHash(a, 1), qHash(b, 1));
    }

    void negativeZeroHashesAsZero()
    {
        UpdateProgress a = baseProgress();
        UpdateProgress b = baseProgress();
        a.progress = 0.0;
        b.progress = -0.0;
        QVERIFY(a == b);
        QCOMPARE(qHash(a, 77), qHash(b, 77));

        AdoptionProgress c{kRecordId,   makeApplication(),      AdoptionProgress::Status::adopting,
                           0.0,         QStringLiteral("step"), a.startTime,
                           std::nullopt};
        AdoptionProgress d = c;
        d.progress = -0.0;
        QVERIFY(c == d);
        QCOMPARE(qHash(c, 77), qHash(d, 77));
    }

    void adoptionProgressEquality()
    {
        const AdoptionProgress a{
            kRecordId,   makeApplication(),      AdoptionProgress::Status::adopting,
            0.5,         QStringLiteral("step"), QDateTime::fromSecsSinceEpoch(1, Qt::UTC),
            std::nullopt};
        AdoptionProgress b = a;
        b.application = makeApplication();
        QVERIFY(a == b);
        b.id = QUuid::createUuid();
        QVERIFY(!(a == b));
        b = a;
        b.estimatedCompletion = a.startTime;
        QVERIFY(!(a == b));
        b = a;
        b.status = AdoptionProgress::Status::verifying;
        QVERIFY(!(a == b));
    }

    void travelsInVariants()
    {
        const UpdateProgress progress = baseProgress();
        QCOMPARE(QVariant::fromValue(progress).value<UpdateProgress>(), progress);
    }
};

QTEST_GUILESS_MAIN(TestProgressRecords)
#include "tst_progressrecords.moc"
