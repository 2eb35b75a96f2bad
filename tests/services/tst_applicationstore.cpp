#include "FakeDockBadge.h"
#include "platform/UnityDockBadge.h"
#include "services/ApplicationStore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <thread>

using namespace norvelle;
using norvelle::test::FakeDockBadge;
using List = ApplicationStore::ApplicationList;

namespace {

std::shared_ptr<Application> makeApp(const QString& name, bool hasUpdate = false, bool ignored = false,
                                     const QUuid& id = QUuid::createUuid())
{
    auto app = Application::create(
        id, name, "com.example." + name, QUrl::fromLocalFile("/Applications/" + name + ".app"),
        QStringLiteral("1.0"), QList<Application::Source>{Application::Source::homebrew});
    if (hasUpdate) {
        Update update;
        update.latestVersion = QStringLiteral("2.0");
        app->setUpdate(update);
    }
    app->setIgnored(ignored);
    return app;
}

// Rows of "U" (update), "I" (ignored), "UI" (both) or "-" (neither).
List makeList(const QStringList& kinds)
{
    List list;
    for (qsizetype i = 0; i < kinds.size(); ++i) {
        list.append(
            makeApp(QStringLiteral("App%1").arg(i), kinds.at(i).contains('U'), kinds.at(i).contains('I')));
    }
    return list;
}

} // namespace

// Receives the launcher signal on a second connection to a private bus.
class LauncherListener : public QObject {
    Q_OBJECT
public:
    QString uri;
    QVariantMap properties;
    int received = 0;
public Q_SLOTS:
    void onUpdate(const QString& appUri, const QVariantMap& props)
    {
        uri = appUri;
        properties = props;
        ++received;
    }
};

class TestApplicationStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void badge_data()
    {
        QTest::addColumn<QStringList>("kinds");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("withUpdates");
        QTest::newRow("empty list") << QStringList{} << QString() << 0;
        QTest::newRow("every update ignored") << QStringList{"UI", "UI", "-"} << QString() << 0;
        QTest::newRow("three beside ignored and plain")
            << QStringList{"U", "UI", "-", "U", "I", "U", "UI"} << QStringLiteral("3") << 3;
        QTest::newRow("one") << QStringList{"-", "U"} << QStringLiteral("1") << 1;
        QTest::newRow("twelve") << QStringList(12, "U") << QStringLiteral("12") << 12;
    }
    void badge()
    {
        QFETCH(QStringList, kinds);
        QFETCH(QString, label);
        QFETCH(int, withUpdates);
        auto badge = std::make_shared<FakeDockBadge>();
        ApplicationStore store(badge);
        const List list = makeList(kinds);
        store.setApplications(list);
        QCOMPARE(badge->label(), label);
        QCOMPARE(badge->calls().constLast().has_value(), withUpdates > 0);
        const List updates = store.applicationsWithUpdates();
        QCOMPARE(updates.size(), withUpdates);
        for (const auto& app : updates) {
            QVERIFY(app->update().has_value() && !app->ignored());
            // In list order.
            QVERIFY(list.indexOf(app) >= list.indexOf(updates.constFirst()));
        }
        // The badge is written on every call, even when it does not change.
        store.updateDockBadge();
        QCOMPARE(badge->callCount(), 2);
        QCOMPARE(badge->label(), label);
    }

    void applicationsChangeRule_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<bool>("notifies");
        QTest::newRow("same objects") << 0 << false;
        QTest::newRow("new objects, same ids, same order") << 1 << false;
        QTest::newRow("same ids, other order") << 2 << true;
        QTest::newRow("one different id") << 3 << true;
        QTest::newRow("one fewer") << 4 << true;
        QTest::newRow("empty") << 5 << true;
    }
    void applicationsChangeRule()
    {
        QFETCH(int, variant);
        QFETCH(bool, notifies);
        auto badge = std::make_shared<FakeDockBadge>();
        ApplicationStore store(badge);
        const List first = makeList({"U", "-", "U"});
        store.setApplications(first);
        QSignalSpy spy(&store, &ApplicationStore::applicationsChanged);
        const int badgeCalls = badge->callCount();

        List next;
        switch (variant) {
        case 0:
            next = first;
            break;
        case 1:
            for (const auto& app : first) {
                next.append(makeApp(app->name(), false, false, app->id()));
            }
            break;
        case 2:
            next = {first.at(1), first.at(0), first.at(2)};
            break;
        case 3:
            next = {first.at(0), makeApp("Other"), first.at(2)};
            break;
        case 4:
            next = {first.at(0), first.at(1)};
            break;
        default:
            break;
        }
        store.setApplications(next);
        QCOMPARE(spy.count(), notifies ? 1 : 0);
        QCOMPARE(badge->callCount(), badgeCalls + 1);
        // The new list is stored even when nobody is told.
        QCOMPARE(store.applications().size(), next.size());
        for (qsizetype i = 0; i < next.size(); ++i) {
            QCOMPARE(store.applications().at(i).get(), next.at(i).get());
        }
    }

    void badgeIsWrittenBeforeListObserversHearOfIt()
    {
        auto badge = std::make_shared<FakeDockBadge>();
        ApplicationStore store(badge);
        QString seen = QStringLiteral("unset");
        connect(&store, &ApplicationStore::applicationsChanged, this, [&] { seen = badge->label(); });
        store.setApplications(makeList({"U"}));
        QCOMPARE(seen, QStringLiteral("1"));
    }

    void scalarChangeRules()
    {
        ApplicationStore store(std::make_shared<FakeDockBadge>());
        QSignalSpy selection(&store, &ApplicationStore::selectedApplicationIdChanged);
        QSignalSpy environment(&store, &ApplicationStore::environmentStatusChanged);
        QSignalSpy checked(&store, &ApplicationStore::lastUpdateCheckChanged);

        const QUuid id = QUuid::createUuid();
        store.setSelectedApplicationId(std::nullopt);
        store.setSelectedApplicationId(id);
        store.setSelectedApplicationId(id);
        store.setSelectedApplicationId(QUuid::createUuid());
        store.setSelectedApplicationId(std::nullopt);
        QCOMPARE(selection.count(), 3);

        EnvironmentStatus status{true, false, true, QStringLiteral("/opt/homebrew/bin/brew")};
        store.setEnvironmentStatus(status);
        store.setEnvironmentStatus(
            EnvironmentStatus{true, false, true, QStringLiteral("/opt/homebrew/bin/brew")});
        QCOMPARE(environment.count(), 1);
        status.homebrewPath = std::nullopt;
        store.setEnvironmentStatus(status);
        QCOMPARE(environment.count(), 2);
        status.hasMAS = true;
        store.setEnvironmentStatus(status);
        store.setEnvironmentStatus(std::nullopt);
        store.setEnvironmentStatus(std::nullopt);
        QCOMPARE(environment.count(), 4);

        const QDateTime when = QDateTime::currentDateTimeUtc();
        store.setLastUpdateCheck(when);
        store.setLastUpdateCheck(when);
        store.setLastUpdateCheck(when.addSecs(1));
        QCOMPARE(checked.count(), 2);
    }

    void selectedApplication()
    {
        ApplicationStore store(std::make_shared<FakeDockBadge>());
        const List list = makeList({"-", "U"});
        store.setApplications(list);
        QCOMPARE(store.selectedApplication(), nullptr);
        store.setSelectedApplicationId(list.at(1)->id());
        QCOMPARE(store.selectedApplication(), list.at(1));
        // A rediscovery brings new objects with new ids; the old selection finds nothing.
        store.setApplications(makeList({"-", "U"}));
        QCOMPARE(store.selectedApplication(), nullptr);
    }

    void reemitsChangesOfListedApplications()
    {
        ApplicationStore store(std::make_shared<FakeDockBadge>());
        const List list = makeList({"-", "-"});
        store.setApplications(list);
        QSignalSpy spy(&store, &ApplicationStore::applicationChanged);

        // On the main thread the signal comes at once.
        list.at(1)->setIgnored(true);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<std::shared_ptr<Application>>(), list.at(1));
        QCOMPARE(spy.at(0).at(1).value<Application::Field>(), Application::Field::ignored);
        list.at(1)->setIgnored(true);
        QCOMPARE(spy.count(), 1);

        // From a worker it arrives later, on the main thread.
        QThread* signalThread = nullptr;
        connect(&store, &ApplicationStore::applicationChanged, this,
                [&] { signalThread = QThread::currentThread(); });
        std::thread worker([&] { list.at(0)->setSkippedVersion(QStringLiteral("2.0")); });
        worker.join();
        QTRY_COMPARE(spy.count(), 2);
        QCOMPARE(signalThread, QThread::currentThread());
        QCOMPARE(spy.at(1).at(1).value<Application::Field>(), Application::Field::skippedVersion);

        // Applications that left the list are no longer followed.
        const auto removed = list.at(0);
        store.setApplications({list.at(1)});
        removed->setIgnored(true);
        list.at(1)->setIgnored(false);
        QCOMPARE(spy.count(), 3);
        QCOMPARE(spy.at(2).at(0).value<std::shared_ptr<Application>>(), list.at(1));
    }

    void workerChangesAfterTheStoreIsGoneAreHarmless()
    {
        const List list = makeList({"-"});
        {
            ApplicationStore store(std::make_shared<FakeDockBadge>());
            store.setApplications(list);
            std::thread worker([&] { list.at(0)->setIgnored(true); });
            worker.join();
        }
        list.at(0)->setIgnored(false);
        QCoreApplication::processEvents();
    }

    void unityBadgeOnAPrivateBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty()) {
            QSKIP("dbus-daemon is not installed");
        }
        QProcess bus;
        bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                           QStringLiteral("--print-address=1")});
        QVERIFY(bus.waitForStarted());
        QVERIFY(bus.waitForReadyRead(10000));
        const QString address = QString::fromUtf8(bus.readLine()).trimmed();
        {
            QDBusConnection sender = QDBusConnection::connectToBus(address, QStringLiteral("badge-sender"));
            QDBusConnection receiver =
                QDBusConnection::connectToBus(address, QStringLiteral("badge-receiver"));
            QVERIFY(sender.isConnected() && receiver.isConnected());

            UnityDockBadge badge(QStringLiteral("norvelle.desktop"), sender);
            QCOMPARE(badge.appUri(), QStringLiteral("application://norvelle.desktop"));
            LauncherListener listener;
            QVERIFY(receiver.connect(QString(), badge.objectPath(),
                                     QString::fromLatin1(UnityDockBadge::interfaceName),
                                     QString::fromLatin1(UnityDockBadge::signalName), &listener,
                                     SLOT(onUpdate(QString, QVariantMap))));
            // The match rule is registered asynchronously; a round trip settles it.
            receiver.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus"));

            ApplicationStore store(
                std::make_shared<UnityDockBadge>(QStringLiteral("norvelle.desktop"), sender));
            store.setApplications(makeList({"U", "U", "UI"}));
            QTRY_COMPARE(listener.received, 1);
            QCOMPARE(listener.uri, QStringLiteral("application://norvelle.desktop"));
            QCOMPARE(listener.properties.value("count").metaType(), QMetaType::fromType<qlonglong>());
            QCOMPARE(listener.properties.value("count").toLongLong(), 2);
            QCOMPARE(listener.properties.value("count-visible").toBool(), true);

            store.setApplications({});
            QTRY_COMPARE(listener.received, 2);
            QCOMPARE(listener.properties.value("count-visible").toBool(), false);
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("badge-sender"));
        QDBusConnection::disconnectFromBus(QStringLiteral("badge-receiver"));
        bus.kill();
        bus.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestApplicationStore)
#include "tst_applicationstore.moc"
