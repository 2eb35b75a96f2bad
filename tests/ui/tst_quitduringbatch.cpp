#include "tst_sidebarworld.h"

#include "FakeUrlOpener.h"
#include "TestGate.h"

#include "ui/app/ApplicationMenus.h"
#include "ui/update_sheet/UpdateSheetView.h"
#include "viewmodels/CheckForUpdatesViewModel.h"

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <memory>

using namespace norvelle;
using namespace norvelle::test;

// Quitting while the batch-update sheet is up: the keys reach the application menu from the
// sheet, and the sheet lets the application go.
class TestQuitDuringBatch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Last: the quit it sends ends every event loop started after it.
    void runningSheetLetsTheApplicationQuit()
    {
        MainWindowTestWorld world;
        const QList<std::shared_ptr<Application>> batch{MainWindowTestWorld::app(QStringLiteral("Alpha*"))};
        world.store.setApplications(batch);
        auto gate = world.gate();
        world.updates->setUpdateGate(batch.at(0)->bundleIdentifier(), gate);
        QMainWindow mainWindow;
        mainWindow.show();
        QPointer<UpdateSheetView> sheet = new UpdateSheetView(batch, {}, world.sidebar, world.detail, world.store,
                                                              &mainWindow);
        sheet->open();
        sheet->findChild<QPushButton*>(QStringLiteral("updateButton"))->click();
        QTRY_COMPARE(gate->arrivals(), 1);
        QVERIFY(world.coordinator.isUpdating());

        QEvent quit(QEvent::Quit);
        QCoreApplication::sendEvent(qApp, &quit);
        QVERIFY(quit.isAccepted());
        QVERIFY(!mainWindow.isVisible());
        QVERIFY(!sheet || !sheet->isVisible());

        gate->open();
        QTRY_VERIFY(!world.coordinator.isUpdating());
    }
};

QTEST_MAIN(TestQuitDuringBatch)
#include "tst_quitduringbatch.moc"
