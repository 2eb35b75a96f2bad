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
    // A window-modal sheet over the menu bar's window (the batch sheet) or a window of its own
    // (Settings) has the focus.
    void applicationCommandsAnswerInEveryWindow_data()
    {
        QTest::addColumn<bool>("sheet");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<int>("quits");
        QTest::addColumn<int>("settings");
        QTest::newRow("quit from a sheet") << true << QKeySequence("Ctrl+Q") << 1 << 0;
        QTest::newRow("settings from a sheet") << true << QKeySequence("Ctrl+,") << 0 << 1;
        QTest::newRow("quit from another window") << false << QKeySequence("Ctrl+Q") << 1 << 0;
        QTest::newRow("a filter stays with the main window") << true << QKeySequence("Ctrl+2") << 0 << 0;
    }

    void applicationCommandsAnswerInEveryWindow()
    {
        QFETCH(bool, sheet);
        QFETCH(QKeySequence, keys);
        QFETCH(int, quits);
        QFETCH(int, settings);
        MainWindowTestWorld world;
        CheckForUpdatesViewModel checkForUpdates(nullptr);
        QMainWindow mainWindow;
        ApplicationMenus menus(mainWindow.menuBar(), world.sidebar, world.appState, checkForUpdates,
                               std::make_shared<FakeUrlOpener>());
        mainWindow.show();
        QVERIFY(QTest::qWaitForWindowActive(&mainWindow));

        auto other = std::make_unique<QDialog>(sheet ? &mainWindow : nullptr);
        new QPushButton(QStringLiteral("Cancel"), other.get());
        if (sheet)
            other->open();
        else
            other->show();
        other->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), other.get());

        QSignalSpy quit(&menus, &ApplicationMenus::quitRequested);
        QSignalSpy settingsSpy(&menus, &ApplicationMenus::settingsRequested);
        const ApplicationFilter before = world.sidebar.currentFilter();
        QTest::keySequence(other.get(), keys);
        QCOMPARE(quit.size(), quits);
        QCOMPARE(settingsSpy.size(), settings);
        QCOMPARE(world.sidebar.currentFilter(), before);
    }

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
