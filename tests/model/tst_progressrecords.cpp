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
    // Every status survives its stored text; texts of the other record's statuses, other
    // capitalisation and the empty text are refused.
    void statusRawValues()
    {
        using U = UpdateProgress;
        using A = AdoptionProgress;
        for (int i = 0; i <= int(U::Status::cancelled); ++i)
            QCOMPARE(U::statusFromRawValue(toRawValue(U::Status(i))), U::Status(i));
        for (int i = 0; i <= int(A::Status::cancelled); ++i)
            QCOMPARE(A::statusFromRawValue(toRawValue(A::Status(i))), A::Status(i));
        QCOMPARE(qHash(U::Status::completed, 9), qHash(QStringLiteral("completed"), 9));
        for (const char* refused : {"Completed", "", "adopting"})
            QVERIFY(!U::statusFromRawValue(QString::fromLatin1(refused)));
        for (const char* refused : {"installing", "Queued"})
            QVERIFY(!A::statusFromRawValue(QString::fromLatin1(refused)));
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
};

QTEST_GUILESS_MAIN(TestProgressRecords)
#include "tst_progressrecords.moc"
