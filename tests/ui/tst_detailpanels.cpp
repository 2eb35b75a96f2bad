#include "tst_sidebarworld.h"

#include "FakeTerminalLauncher.h"
#include "FakeUrlOpener.h"
#include "RenderToPng.h"
#include "ui/detail/BrewAvailableView.h"
#include "ui/detail/BrewCommandView.h"
#include "ui/detail/BrewDoctorSheetView.h"
#include "ui/detail/BrewManualActionView.h"
#include "ui/detail/DetailView.h"
#include "ui/detail/ManualCaskEntryView.h"
#include "ui/detail/SelectedApplicationDetailsView.h"
#include "ui/detail/UpdateProgressView.h"
#include "viewmodels/TerminalCommands.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using namespace norvelle;
using namespace norvelle::test;
using S = Application::Source;

namespace {

struct World : MainWindowTestWorld {
    World() { detail.useTerminalCommands(commands); }
    std::shared_ptr<FakeTerminalLauncher> launcher = std::make_shared<FakeTerminalLauncher>();
    TerminalCommands commands{Paths{}, launcher, QProcessEnvironment(),
                              TerminalCommandTiming{std::chrono::milliseconds(0)}};
};

struct Pane {
    explicit Pane(World& world) : view(world.viewEnvironment(), &urls)
    {
        view.resize(760, 900);
        view.show();
    }
    bool shows(const char* name) const
    {
        auto* widget = view.findChild<QWidget*>(QString::fromLatin1(name));
        return widget && widget->isVisibleTo(&view);
    }
    FakeUrlOpener urls;
    DetailView view;
};

} // namespace

class TestDetailPanels : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void panelsUnderTheHeader_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<bool>("adopted");
        QTest::addColumn<bool>("environment");
        QTest::addColumn<bool>("brewAvailable");
        QTest::addColumn<bool>("manual");
        QTest::newRow("adoptable, no update") << "Figma+" << false << true << true << true;
        QTest::newRow("no cask") << "Figma" << false << true << false << true;
        QTest::newRow("ignored") << "Figma+!" << false << true << true << false;
        QTest::newRow("with an update") << "Figma+*" << false << true << true << false;
        QTest::newRow("adopted cask") << "Figma" << true << true << false << false;
        QTest::newRow("environment unknown") << "Figma+" << false << false << false << false;
    }
    void panelsUnderTheHeader()
    {
        QFETCH(QString, row);
        QFETCH(bool, adopted);
        QFETCH(bool, environment);
        QFETCH(bool, brewAvailable);
        QFETCH(bool, manual);
        World world;
        if (!environment)
            world.store.setEnvironmentStatus(std::nullopt);
        auto app = MainWindowTestWorld::app(row);
        if (adopted) {
            Cask cask = makeCask(QStringLiteral("figma"));
            cask.adopted = true;
            app->setCask(cask);
        }
        world.select(app);
        Pane pane(world);
        QTRY_COMPARE(pane.shows("brewAvailableView"), brewAvailable);
        QCOMPARE(pane.shows("manualCaskEntryView"), manual);
        QCOMPARE(pane.shows("brewDoctorButton"), environment);
    }

    void passwordUpdateIsCompletedThroughTheTerminal()
    {
        World world;
        auto app = world.select(MainWindowTestWorld::app("Figma*$"));
        Pane pane(world);
        QTRY_VERIFY(pane.shows("brewManualActionView"));
        QVERIFY(!pane.shows("primaryButton"));
        auto* run = pane.view.findChild<QPushButton*>("manualRunButton");
        QCOMPARE(run->text(), QStringLiteral("Update"));
        run->click();
        auto* alert = pane.view.findChild<QMessageBox*>("terminalAlert");
        QVERIFY(alert);
        QCOMPARE(alert->text(), QStringLiteral("Update in Terminal"));
        alert->findChild<QPushButton*>("terminalAlertOpen")->click();
        QCOMPARE(world.launcher->commandLines(), QStringList{"brew upgrade --cask figma"});

        // Once the update has failed, the failed-update panel offers the command instead.
        auto update = *app->update();
        update.status = Update::Status::failed;
        app->setUpdate(update);
        QTRY_VERIFY(!pane.shows("brewManualActionView"));
        QTRY_VERIFY(pane.shows("brewCommandView"));
        QCOMPARE(pane.view.header()->progressView()->commandBox()->command(),
                 QStringLiteral("brew upgrade --cask figma"));
    }

    void adoptionProgressStaysWithItsApplication()
    {
        World world;
        auto figma = MainWindowTestWorld::app("Figma+");
        auto other = MainWindowTestWorld::app("Other+");
        world.select(figma, {other});
        Pane pane(world);
        AdoptionProgress progress;
        progress.id = QUuid::createUuid();
        progress.application = other;
        progress.status = AdoptionProgress::Status::adopting;
        world.detail.setIsAdopting(true);
        world.detail.setAdoptionProgress(progress);
        QTRY_VERIFY(pane.shows("adoptButton"));
        QVERIFY(!pane.shows("adoptionProgressView"));
        world.store.setSelectedApplicationId(other->id());
        QTRY_VERIFY(pane.shows("adoptionProgressView"));
        QVERIFY(!pane.shows("adoptButton"));
    }

    void refreshBannerFollowsTheViewModel()
    {
        World world;
        world.select(MainWindowTestWorld::app("Figma"));
        Pane pane(world);
        QVERIFY(!pane.shows("refreshProgressView"));
        world.detail.setIsRefreshing(true);
        QTRY_VERIFY(pane.shows("refreshProgressView"));
        world.detail.setIsRefreshing(false);
        world.detail.setShowRefreshSuccess(true);
        QTRY_COMPARE(pane.view.findChild<QLabel*>("refreshTitle")->text(),
                     QStringLiteral("Refreshed Successfully!"));
        world.detail.setShowRefreshSuccess(false);
        QTRY_VERIFY(!pane.shows("refreshProgressView"));
    }

    void brewDoctorButtonOpensTheSheet()
    {
        World world;
        Pane pane(world);
        pane.view.findChild<QPushButton*>("brewDoctorButton")->click();
        QVERIFY(pane.view.showBrewDoctorSheet());
        QPointer<BrewDoctorSheetView> sheet = pane.view.brewDoctorSheet();
        QVERIFY(sheet);
        QTRY_COMPARE(sheet->currentState(), BrewDoctorSheetView::State::result);
        sheet->findChild<QPushButton*>("brewDoctorDone")->click();
        QVERIFY(!pane.view.showBrewDoctorSheet());
        QTRY_VERIFY(!sheet);
    }

    void renders()
    {
        World world;
        auto app = MainWindowTestWorld::app("Figma*$");
        auto adoptable = MainWindowTestWorld::app("Sketch+");
        world.select(app, {adoptable});
        Pane pane(world);
        QTRY_VERIFY(pane.shows("brewManualActionView"));
        QVERIFY(!renderToPng(&pane.view, QStringLiteral("detail-password-update")).isEmpty());
        world.store.setSelectedApplicationId(adoptable->id());
        QTRY_VERIFY(pane.shows("manualCaskEntryView"));
        QVERIFY(!renderToPng(&pane.view, QStringLiteral("detail-adoptable")).isEmpty());
        const QPalette light = QApplication::palette();
        QPalette dark(QColor(0x2a, 0x2a, 0x2a), QColor(0x1e, 0x1e, 0x1e));
        dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
        QApplication::setPalette(dark);
        QCoreApplication::processEvents();
        QVERIFY(!renderToPng(&pane.view, QStringLiteral("detail-adoptable-dark")).isEmpty());
        QApplication::setPalette(light);
    }
};

QTEST_MAIN(TestDetailPanels)
#include "tst_detailpanels.moc"
