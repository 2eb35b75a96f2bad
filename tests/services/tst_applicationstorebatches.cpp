#include "RecordMakers.h"
#include "services/ApplicationStore.h"

#include <QSignalSpy>
#include <QTest>
#include <thread>

using namespace norvelle;
using namespace norvelle::test;

namespace {

std::shared_ptr<Application> makeApp(int n)
{
    const QString name = QStringLiteral("App%1").arg(n);
    return Application::create(name, "com.example." + name, QUrl::fromLocalFile("/Applications/" + name + ".app"),
                               QStringLiteral("1.0"), QList<Application::Source>{Application::Source::homebrew});
}

} // namespace

// A check writes back hundreds of fields at once: views that redraw from the whole list hear
// of it once per event-loop turn, and the kept update count matches a fresh count throughout.
class TestApplicationStoreBatches : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void changesOfOneTurnAreSignalledOnce_data()
    {
        QTest::addColumn<bool>("fromWorker");
        QTest::newRow("on the main thread") << false;
        QTest::newRow("from a worker") << true;
    }
    void changesOfOneTurnAreSignalledOnce()
    {
        QFETCH(bool, fromWorker);
        ApplicationStore store(nullptr);
        QList<std::shared_ptr<Application>> apps;
        for (int n = 0; n < 50; ++n)
            apps.append(makeApp(n));
        store.setApplications(apps);
        QSignalSpy perField(&store, &ApplicationStore::applicationChanged);
        QSignalSpy batches(&store, &ApplicationStore::applicationsUpdated);

        const auto writeBack = [&] {
            for (int n = 0; n < apps.size(); ++n) {
                if (n % 2 == 0)
                    apps[n]->setUpdate(makeUpdate(QStringLiteral("2.0")));
                if (n % 5 == 0)
                    apps[n]->setIgnored(true);
            }
        };
        if (fromWorker)
            std::thread(writeBack).join();
        else
            writeBack();
        QTRY_COMPARE(perField.count(), 25 + 10);
        QTRY_COMPARE(batches.count(), 1);
        QCOMPARE(store.updateCount(), int(store.applicationsWithUpdates().size()));
        QCOMPARE(store.updateCount(), 25 - 5);

        apps[1]->setUpdate(makeUpdate(QStringLiteral("2.0")));
        apps[0]->setIgnored(false);
        QCOMPARE(store.updateCount(), 22);
        store.setApplications(apps.mid(0, 10));
        QCOMPARE(store.updateCount(), int(store.applicationsWithUpdates().size()));
        QTRY_COMPARE(batches.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestApplicationStoreBatches)
#include "tst_applicationstorebatches.moc"
