#include "model/Application.h"
#include "model/Update.h"

#include <QTest>
#include <functional>

using namespace norvelle;
using UpdateChange = std::function<void(Update&)>;
Q_DECLARE_METATYPE(UpdateChange)

namespace {

Update baseUpdate()
{
    return Update{
        QStringLiteral("2.1,2105"),
        QStringLiteral("Fixes"),
        QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC),
        Update::Source::sparkle,
        Update::Status::available,
        std::nullopt,
        SparkleInfo{QUrl(QStringLiteral("https://example.org/feed.xml")), std::nullopt, std::nullopt, true},
        std::nullopt,
        std::nullopt};
}

std::shared_ptr<Application> makeApplication(const QUuid& id = QUuid::createUuid())
{
    return Application::create(id, QStringLiteral("App"), QStringLiteral("com.example.app"),
                               QUrl::fromLocalFile(QStringLiteral("/Applications/App.app")),
                               QStringLiteral("1.0"),
                               QList<Application::Source>{Application::Source::sparkle});
}

} // namespace

class TestUpdate : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sourceRawValues_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<int>("expected"); // -1: no value
        QTest::newRow("homebrew") << "homebrew" << 0;
        QTest::newRow("sparkle") << "sparkle" << 1;
        QTest::newRow("appStore") << "appStore" << 2;
        QTest::newRow("other") << "other" << 3;
        QTest::newRow("capitalised") << "AppStore" << -1;
        QTest::newRow("snake case") << "app_store" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("padded") << " homebrew" << -1;
    }
    void sourceRawValues()
    {
        QFETCH(QString, raw);
        QFETCH(int, expected);
        const auto updateSource = Update::sourceFromRawValue(raw);
        const auto appSource = Application::sourceFromRawValue(raw);
        QCOMPARE(updateSource.has_value(), expected >= 0);
        QCOMPARE(appSource.has_value(), expected >= 0);
        if (expected < 0)
            return;
        QCOMPARE(int(*updateSource), expected);
        QCOMPARE(int(*appSource), expected);
        QCOMPARE(toRawValue(*updateSource), raw);
        QCOMPARE(toRawValue(*appSource), raw);
        QCOMPARE(toUpdateSource(*appSource), *updateSource);
        QCOMPARE(toApplicationSource(*updateSource), *appSource);
        QCOMPARE(qHash(*updateSource, 3), qHash(raw, 3));
        QCOMPARE(qHash(*appSource, 3), qHash(raw, 3));
    }

    void statusRawValues()
    {
        for (int i = 0; i <= int(Update::Status::ignored); ++i)
            QCOMPARE(Update::statusFromRawValue(toRawValue(Update::Status(i))), Update::Status(i));
        QVERIFY(!Update::statusFromRawValue(QStringLiteral("Ignored")));
        QVERIFY(!Update::statusFromRawValue(QString()));
    }

    void equality_data()
    {
        QTest::addColumn<UpdateChange>("change");
        QTest::addColumn<bool>("equal");
        auto row = [](const char* name, bool equal, UpdateChange c) { QTest::newRow(name) << c << equal; };
        row("copy", true, [](Update&) {});
        row("same instant, other zone", true,
            [](Update& u) { u.releaseDate = u.releaseDate->toOffsetFromUtc(7200); });
        row("version", false, [](Update& u) { u.latestVersion = QStringLiteral("2.1,2106"); });
        row("notes text", false, [](Update& u) { u.releaseNotes = QStringLiteral("fixes"); });
        row("notes absent", false, [](Update& u) { u.releaseNotes.reset(); });
        row("notes empty", false, [](Update& u) { u.releaseNotes = QString(); });
        row("date absent", false, [](Update& u) { u.releaseDate.reset(); });
        row("date", false, [](Update& u) { u.releaseDate = u.releaseDate->addMSecs(1); });
        row("source", false, [](Update& u) { u.source = Update::Source::homebrew; });
        row("status", false, [](Update& u) { u.status = Update::Status::failed; });
        row("cask present", false, [](Update& u) { u.cask = Cask{}; });
        row("sparkle absent", false, [](Update& u) { u.sparkleInfo.reset(); });
        row("sparkle flag", false, [](Update& u) { u.sparkleInfo->supportsAutomaticUpdates = false; });
        row("mas present", false, [](Update& u) { u.mas = MAS{}; });
        row("error present", false, [](Update& u) { u.lastUpdateError = QStringLiteral("Failed"); });
        row("error empty", false, [](Update& u) { u.lastUpdateError = QString(); });
    }
    void equality()
    {
        QFETCH(UpdateChange, change);
        QFETCH(bool, equal);
        const Update a = baseUpdate();
        Update b = baseUpdate();
        change(b);
        QCOMPARE(a == b, equal);
        QCOMPARE(b == a, equal);
        if (equal)
            QCOMPARE(qHash(a, 11), qHash(b, 11));
        else
            QVERIFY(qHash(a, 11) != qHash(b, 11)); // a collision here hints at a skipped field
    }

    void resultEquality()
    {
        const QUuid appId = QUuid::createUuid();
        const auto app = makeApplication(appId);
        const auto twin = makeApplication(appId);
        const QDateTime now = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
        const Update::Result base{QUuid::createUuid(), app, false, QStringLiteral("boom"), now};

        Update::Result viaTwin = base;
        viaTwin.application = twin;
        QVERIFY(base == viaTwin);
        QCOMPARE(qHash(base, 5), qHash(viaTwin, 5));

        Update::Result later = base;
        later.timestamp = now.addSecs(1);
        QVERIFY(!(base == later));

        Update::Result otherApp = base;
        otherApp.application = makeApplication();
        QVERIFY(!(base == otherApp));

        Update::Result otherId = base;
        otherId.id = QUuid::createUuid();
        QVERIFY(!(base == otherId));

        Update::Result noError = base;
        noError.error.reset();
        QVERIFY(!(base == noError));

        Update::Result noApp = base;
        noApp.application.reset();
        QVERIFY(!(base == noApp));
        QVERIFY(noApp == noApp);
    }
};

QTEST_GUILESS_MAIN(TestUpdate)
#include "tst_update.moc"
