#include "TerminalTestWorld.h"

#include "FakeUrlOpener.h"
#include "RenderToPng.h"
#include "ui/detail/BrewCommandView.h"
#include "ui/detail/BrewDoctorSheetView.h"
#include "ui/detail/DetailView.h"
#include "ui/detail/SelectedApplicationDetailsView.h"
#include "ui/detail/UpdateProgressView.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace norvelle;
using namespace norvelle::test;
using S = Application::Source;

namespace {

struct Pane {
    explicit Pane(TerminalWorld& world) : view(world.viewEnvironment(), &urls)
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
        TerminalWorld world;
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

    void passwordUpdateHandsOverToTheFailedPanel()
    {
        TerminalWorld world;
        auto app = world.select(MainWindowTestWorld::app("Figma*$"));
        Pane pane(world);
        QTRY_VERIFY(pane.shows("brewManualActionView"));
        QVERIFY(!pane.shows("primaryButton"));
        QVERIFY(!renderToPng(&pane.view, QStringLiteral("detail-password-update")).isEmpty());
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
        TerminalWorld world;
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
        QVERIFY(!renderToPng(&pane.view, QStringLiteral("detail-adoptable")).isEmpty());
        world.store.setSelectedApplicationId(other->id());
        QTRY_VERIFY(pane.shows("adoptionProgressView"));
        QVERIFY(!pane.shows("adoptButton"));
    }

    void refreshBannerFollowsTheViewModel()
    {
        TerminalWorld world;
        world.select(MainWindowTestWorld::app("Figma"));
        Pane pane(world);
        QVERIFY(!pane.shows("refreshProgressView"));
        world.detail.setIsRefreshing(true);
        QTRY_VERIFY(pane.shows("refreshProgressView"));
        world.detail.setIsRefreshing(false);
        world.detail.setShowRefreshSuccess(true);
        QTRY_VERIFY(pane.shows("refreshProgressView"));
        world.detail.setShowRefreshSuccess(false);
        QTRY_VERIFY(!pane.shows("refreshProgressView"));
    }

    void brewDoctorButtonOpensTheSheet()
    {
        TerminalWorld world;
        Pane pane(world);
        pane.view.findChild<QPushButton*>("brewDoctorButton")->click();
        QVERIFY(pane.view.showBrewDoctorSheet());
        QPointer<BrewDoctorSheetView> sheet = pane.view.brewDoctorSheet();
        QVERIFY(sheet);
        // Opening runs it; with no brew at this machine's default locations, that is the verdict.
        QTRY_COMPARE(sheet->currentState(), BrewDoctorSheetView::State::result);
        QCOMPARE(sheet->findChild<QLabel*>("brewDoctorVerdict")->text(), QStringLiteral("Issues Found"));
        QCOMPARE(sheet->findChild<QLabel*>("brewDoctorOutput")->text(),
                 TerminalCommands::homebrewMissingText());
        QVERIFY(!renderToPng(sheet, QStringLiteral("brewdoctor")).isEmpty());
        sheet->findChild<QPushButton*>("brewDoctorDone")->click();
        QVERIFY(!pane.view.showBrewDoctorSheet());
        QTRY_VERIFY(!sheet);
    }
};

QTEST_MAIN(TestDetailPanels)
#include "tst_detailpanels.moc"
