#include "tst_sidebarworld.h"

#include "FakeUrlOpener.h"
#include "OnboardingTestWorld.h"
#include "PanelLook.h"
#include "RenderToPng.h"
#include "ui/detail/ApplicationMetadataRowView.h"
#include "ui/detail/DetailView.h"
#include "ui/detail/ManualCaskEntryView.h"
#include "ui/detail/ReleaseNotesView.h"
#include "ui/detail/SelectedApplicationDetailsView.h"
#include "ui/detail/SkippedVersionView.h"
#include "ui/main/ApplicationRowDelegate.h"
#include "ui/main/components/ClampedLabel.h"
#include "ui/main/components/ElidingLabel.h"
#include "ui/main/components/SystemColors.h"

#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

using namespace norvelle;
using namespace norvelle::test;
using S = Application::Source;

namespace {

// The pane over a world, shown, with the application selected.
struct Pane {
    explicit Pane(MainWindowTestWorld& world) : view(world.viewEnvironment(), &urls)
    {
        view.resize(760, 620);
        view.show();
    }

    template <typename T> T* find(const char* name) const { return view.findChild<T*>(QString::fromLatin1(name)); }
    QPushButton* button(const char* name) const { return find<QPushButton>(name); }
    bool shows(const char* name) const
    {
        auto* widget = find<QWidget>(name);
        return widget && widget->isVisibleTo(&view);
    }
    // "Title" when shown and enabled, "(Title)" when shown and disabled, "-" when hidden.
    QString describe(const char* name) const
    {
        auto* b = button(name);
        if (!b || !b->isVisibleTo(&view))
            return QStringLiteral("-");
        return b->isEnabled() ? b->text() : QStringLiteral("(%1)").arg(b->text());
    }
    QString actionRow() const
    {
        return QStringList{describe("primaryButton"), describe("skipVersionButton"), describe("ignoreButton")}.join(
            QLatin1Char('|'));
    }

    FakeUrlOpener urls;
    DetailView view;
};

// A word far wider than a detail pane's column.
QString longWord()
{
    return QStringLiteral("SupercalifragilisticexpialidociousApplicationBundle");
}

// The names of the pane's widgets that reach past its visible width in the window; the pane's
// content's too while it needs more than that width and its layouts have yet to widen it.
QStringList pastTheEdge(const QWidget& window)
{
    const auto* scroll = window.findChild<QScrollArea*>("detailScroll");
    const QWidget* viewport = scroll->viewport();
    const QRect shown(viewport->mapTo(&window, QPoint(0, 0)), viewport->size());
    QStringList names;
    if (scroll->widget()->minimumSizeHint().width() > shown.width())
        names.append(scroll->widget()->objectName());
    for (const QWidget* widget : viewport->findChildren<QWidget*>()) {
        const QRect area(widget->mapTo(&window, QPoint(0, 0)), widget->size());
        if (widget->isVisibleTo(&window) && (area.left() < shown.left() || area.right() > shown.right()))
            names.append(widget->objectName().isEmpty() ? widget->metaObject()->className()
                                                        : widget->objectName());
    }
    return names;
}

UpdateProgress progressOf(const ApplicationPtr& application, UpdateProgress::Status status, double fraction = 0.3)
{
    UpdateProgress progress;
    progress.id = QUuid::createUuid();
    progress.application = application;
    progress.status = status;
    progress.progress = fraction;
    progress.currentStep = QStringLiteral("Working");
    progress.startTime = QDateTime::currentDateTime();
    return progress;
}

} // namespace

class TestDetailView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyStateKeepsTheToolbar_data()
    {
        QTest::addColumn<bool>("environmentKnown");
        QTest::addColumn<bool>("hasHomebrew");
        QTest::addColumn<bool>("brewDoctorShown");
        QTest::newRow("homebrew") << true << true << true;
        QTest::newRow("no homebrew") << true << false << false;
        QTest::newRow("no environment check yet") << false << false << false;
    }
    void emptyStateKeepsTheToolbar()
    {
        QFETCH(bool, environmentKnown);
        QFETCH(bool, hasHomebrew);
        QFETCH(bool, brewDoctorShown);
        MainWindowTestWorld world;
        world.store.setEnvironmentStatus(environmentKnown ? std::optional(EnvironmentStatus{hasHomebrew, true, true, {}})
                                                          : std::nullopt);
        Pane pane(world);
        QVERIFY(pane.shows("noApplicationSelected"));
        QCOMPARE(pane.find<QLabel>("emptyStateTitle")->text(), QStringLiteral("No Application Selected"));
        QCOMPARE(pane.find<QLabel>("emptyStateDescription")->text(),
                 QStringLiteral("Select an application from the sidebar"));
        QCOMPARE(pane.shows("brewDoctorButton"), brewDoctorShown);
        QVERIFY(pane.shows("settingsButton"));

        QSignalSpy opened(&pane.view, &DetailView::openWindowRequested);
        pane.button("settingsButton")->click();
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.at(0).at(0).toString(), QStringLiteral("settings"));
    }

    // The action row for typical applications: primary | skip | ignore.
    void actionRow_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("permission");
        QTest::addColumn<bool>("refreshing");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no update") << "Alpha" << true << false << false << "-|-|Ignore App";
        QTest::newRow("ignored, no update") << "Alpha!" << true << false << false << "-|-|Unignore App";
        QTest::newRow("update") << "Alpha*" << true << false << false << "Update|Skip Version|Ignore App";
        QTest::newRow("ignored with update") << "Alpha*!" << true << false << false
                                             << "Update|Skip Version|Unignore App";
        QTest::newRow("no permission") << "Alpha*" << false << false << false
                                       << "Permission Required|Skip Version|Ignore App";
        QTest::newRow("password update") << "Alpha*$" << true << false << false << "-|Skip Version|Ignore App";
        QTest::newRow("failed update") << "Alpha*" << true << false << true
                                       << "(Update Failed)|Skip Version|Ignore App";
        QTest::newRow("refreshing") << "Alpha*" << true << true << false
                                    << "(Update)|(Skip Version)|(Ignore App)";
        QTest::newRow("refreshing, no update") << "Alpha" << true << true << false << "-|-|(Ignore App)";
        QTest::newRow("refreshing, no permission") << "Alpha*" << false << true << false
                                                   << "(Permission Required)|(Skip Version)|(Ignore App)";
    }
    void actionRow()
    {
        QFETCH(QString, entry);
        QFETCH(bool, permission);
        QFETCH(bool, refreshing);
        QFETCH(bool, failed);
        QFETCH(QString, expected);
        MainWindowTestWorld world;
        world.appState.setHasAppManagementPermission(permission);
        world.detail.setIsRefreshing(refreshing);
        auto app = world.select(MainWindowTestWorld::app(entry));
        if (failed) {
            Update update = *app->update();
            update.status = Update::Status::failed;
            app->setUpdate(update);
        }
        Pane pane(world);
        QTRY_COMPARE(pane.actionRow(), expected);
    }

    // The header's buttons reach the view model, which asks the coordinator about the selection.
    void buttonsCallTheViewModel_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("call");
        QTest::newRow("update") << "Alpha*" << "primaryButton" << "updateApplication Alpha";
        QTest::newRow("ignore") << "Alpha*" << "ignoreButton" << "ignoreApplication Alpha";
        QTest::newRow("unignore") << "Alpha!" << "ignoreButton" << "unignoreApplication Alpha";
        QTest::newRow("skip") << "Alpha*" << "skipVersionButton" << "skipVersion Alpha";
        QTest::newRow("skip, password update") << "Alpha*$" << "skipVersionButton" << "skipVersion Alpha";
    }
    void buttonsCallTheViewModel()
    {
        QFETCH(QString, entry);
        QFETCH(QString, button);
        QFETCH(QString, call);
        MainWindowTestWorld world;
        world.appState.setHasAppManagementPermission(true);
        world.select(MainWindowTestWorld::app(entry));
        Pane pane(world);
        QTRY_VERIFY(pane.button(button.toLatin1().constData())->isVisibleTo(&pane.view));
        pane.button(button.toLatin1().constData())->click();
        QTRY_VERIFY(world.coordinator.calls().contains(call));
    }

    void unskipFromTheNotice()
    {
        MainWindowTestWorld world;
        auto app = world.select(MainWindowTestWorld::app(QStringLiteral("Alpha")));
        app->setSkippedVersion(QStringLiteral("2.5"));
        Pane pane(world);
        QTRY_VERIFY(pane.shows("skippedVersionView"));
        QCOMPARE(pane.find<QLabel>("skippedVersionText")->text(), QStringLiteral("2.5"));
        pane.button("unskipButton")->click();
        QTRY_VERIFY(world.coordinator.calls().contains(QStringLiteral("unskipVersion Alpha")));

        app->setSkippedVersion(std::nullopt);
        QTRY_VERIFY(!pane.shows("skippedVersionView"));
    }

    void permissionRequiredOpensThePermissionsPage()
    {
        MainWindowTestWorld world;
        world.appState.setHasAppManagementPermission(false);
        world.select(MainWindowTestWorld::app(QStringLiteral("Alpha*")));
        Pane pane(world);
        QSignalSpy opened(&pane.view, &DetailView::openWindowRequested);
        QTRY_COMPARE(pane.describe("primaryButton"), QStringLiteral("Permission Required"));
        QCOMPARE(pane.button("primaryButton")->toolTip(),
                 QStringLiteral("Click to open Settings and enable Permissions"));
        pane.button("primaryButton")->click();
        QCOMPARE(world.settingsViewModel.selectedCategory(), SettingsViewModel::SettingsCategory::permissions);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.at(0).at(0).toString(), QStringLiteral("settings"));
        QVERIFY(!world.coordinator.calls().contains(QStringLiteral("updateApplication Alpha")));

        // Granting the permission turns the button into "Update" without a new selection.
        world.appState.setHasAppManagementPermission(true);
        QTRY_COMPARE(pane.describe("primaryButton"), QStringLiteral("Update"));
    }

    // The system-wide progress reaches the header only when it is the shown application's.
    void progressBelongsToItsApplication_data()
    {
        QTest::addColumn<bool>("ownProgress");
        QTest::addColumn<bool>("anyProgress");
        QTest::addColumn<QString>("expected");
        QTest::newRow("own update running") << true << true << "(Updating...)|(Skip Version)|(Ignore App)";
        QTest::newRow("another app updating") << false << true << "Update|Skip Version|Ignore App";
        QTest::newRow("updating, nothing published") << false << false << "Update|Skip Version|Ignore App";
    }
    void progressBelongsToItsApplication()
    {
        QFETCH(bool, ownProgress);
        QFETCH(bool, anyProgress);
        QFETCH(QString, expected);
        MainWindowTestWorld world;
        world.appState.setHasAppManagementPermission(true);
        auto other = MainWindowTestWorld::app(QStringLiteral("Beta*"));
        auto shown = world.select(MainWindowTestWorld::app(QStringLiteral("Alpha*")), {other});
        world.detail.setIsUpdating(true);
        if (anyProgress)
            world.detail.setUpdateProgress(progressOf(ownProgress ? shown : other, UpdateProgress::Status::installing));
        Pane pane(world);
        QTRY_COMPARE(pane.actionRow(), expected);
        QCOMPARE(pane.view.header()->state().progressPanel.has_value(), ownProgress);
        QTRY_COMPARE(pane.shows("updateProgressView"), ownProgress);
        // The brew doctor button looks at the view model's flag, whoever updates.
        QVERIFY(!pane.button("brewDoctorButton")->isEnabled());
    }

    void failedUpdateShowsItsPanel_data()
    {
        QTest::addColumn<QString>("storedError");
        QTest::addColumn<bool>("live");
        QTest::addColumn<QString>("step");
        QTest::newRow("stored error") << "Disk full" << false << "Disk full";
        QTest::newRow("no stored error") << QString() << false << "Update failed";
        QTest::newRow("live progress wins") << "Disk full" << true << "Working";
    }
    void failedUpdateShowsItsPanel()
    {
        QFETCH(QString, storedError);
        QFETCH(bool, live);
        QFETCH(QString, step);
        MainWindowTestWorld world;
        auto app = world.select(MainWindowTestWorld::app(QStringLiteral("Alpha*+")));
        Update update = *app->update();
        update.status = Update::Status::failed;
        if (!storedError.isNull())
            update.lastUpdateError = storedError;
        app->setUpdate(update);
        if (live)
            world.detail.setUpdateProgress(progressOf(app, UpdateProgress::Status::failed));
        Pane pane(world);
        QTRY_VERIFY(pane.view.header()->state().progressPanel.has_value());
        const UpdateProgress shownProgress = *pane.view.header()->state().progressPanel;
        QCOMPARE(shownProgress.status, UpdateProgress::Status::failed);
        QCOMPARE(shownProgress.currentStep, step);
        QCOMPARE(pane.find<QLabel>("latestVersion")->palette().color(QPalette::WindowText), SystemColors::red());
        QTRY_VERIFY(pane.shows("updateProgressView"));
        QCOMPARE(pane.find<QLabel>("updateCurrentStep")->text(), step);
    }

    void adoptableCaskHidesLiveProgress()
    {
        MainWindowTestWorld world;
        auto app = world.select(MainWindowTestWorld::app(QStringLiteral("Alpha*+")));
        world.detail.setUpdateProgress(progressOf(app, UpdateProgress::Status::downloading));
        Pane pane(world);
        QTRY_VERIFY(pane.view.header());
        QVERIFY(!pane.view.header()->state().progressPanel);
        QVERIFY(!pane.shows("updateProgressView"));
    }

    // The panel follows the published records and goes when the record is cleared.
    void progressPanelFollowsTheRecords()
    {
        MainWindowTestWorld world;
        auto app = world.select(MainWindowTestWorld::app(QStringLiteral("Alpha*")));
        Pane pane(world);
        QTRY_VERIFY(pane.view.header());
        QVERIFY(!pane.shows("updateProgressView"));
        world.detail.setUpdateProgress(progressOf(app, UpdateProgress::Status::downloading, 0.25));
        QTRY_VERIFY(pane.shows("updateProgressView"));
        QCOMPARE(pane.find<QLabel>("updatePercentage")->text(), QStringLiteral("25%"));
        world.detail.setUpdateProgress(progressOf(app, UpdateProgress::Status::installing, 0.75));
        QTRY_COMPARE(pane.find<QLabel>("updatePercentage")->text(), QStringLiteral("75%"));
        world.detail.setUpdateProgress(std::nullopt);
        QTRY_VERIFY(!pane.shows("updateProgressView"));
    }

    void releaseNotesFollowTheUpdateSource_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<bool>("shown");
        QTest::newRow("homebrew") << int(Update::Source::homebrew) << true;
        QTest::newRow("sparkle") << int(Update::Source::sparkle) << true;
        QTest::newRow("app store") << int(Update::Source::appStore) << true;
        QTest::newRow("other") << int(Update::Source::other) << false;
    }
    void releaseNotesFollowTheUpdateSource()
    {
        QFETCH(int, source);
        QFETCH(bool, shown);
        MainWindowTestWorld world;
        auto app = world.select(MainWindowTestWorld::app(QStringLiteral("Alpha")));
        Pane pane(world);
        QTRY_VERIFY(pane.view.header());
        QVERIFY(!pane.view.releaseNotes());
        app->setUpdate(makeUpdate(QStringLiteral("3.0"), Update::Source(source)));
        QTRY_COMPARE(pane.view.releaseNotes() != nullptr, shown);
        app->setUpdate(std::nullopt);
        QTRY_VERIFY(!pane.view.releaseNotes());
    }

    void selectionSwitchesTheHeader()
    {
        MainWindowTestWorld world;
        auto beta = MainWindowTestWorld::app(QStringLiteral("Beta"));
        auto alpha = world.select(MainWindowTestWorld::app(QStringLiteral("Alpha")), {beta});
        alpha->setCurrentVersion(QStringLiteral("1.0,100"));
        Pane pane(world);
        QTRY_COMPARE(pane.find<QLabel>("applicationName")->text(), QStringLiteral("Alpha"));
        QCOMPARE(pane.find<QLabel>("currentVersion")->text(), QStringLiteral("1.0"));
        QVERIFY(!pane.shows("latestVersion"));
        world.store.setSelectedApplicationId(beta->id());
        QTRY_COMPARE(pane.view.header()->application(), beta);
        world.store.setSelectedApplicationId(std::nullopt);
        QTRY_VERIFY(pane.shows("noApplicationSelected"));
    }

    // In a pane as small as the smallest window's, the panel of what the user started comes into
    // view, and the header stays in view while an update runs and once it has ended.
    void panelsComeIntoView_data()
    {
        QTest::addColumn<bool>("update"); // else an adoption
        QTest::addColumn<bool>("focusOnClick"); // the clicked button takes the focus
        QTest::addColumn<bool>("scrollAway"); // the user scrolls to the end while it runs
        QTest::newRow("update, button focused") << true << true << false;
        QTest::newRow("update, pane scrolled meanwhile") << true << false << true;
        QTest::newRow("adoption") << false << false << false;
    }
    void panelsComeIntoView()
    {
        QFETCH(bool, update);
        QFETCH(bool, focusOnClick);
        QFETCH(bool, scrollAway);
        MainWindowTestWorld world;
        world.appState.setHasAppManagementPermission(true);
        auto app = world.select(MainWindowTestWorld::app(update ? "Alpha" : "Alpha+", {S::sparkle}));
        Update notes = makeUpdate(QStringLiteral("2.0"), Update::Source::sparkle);
        notes.releaseNotes = QStringLiteral("- Faster start\n").repeated(30);
        if (update)
            app->setUpdate(notes);
        auto gate = world.gate();
        world.coordinator.setUpdateScript([gate](const ApplicationPtr& a, const auto& report) {
            report(progressOf(a, UpdateProgress::Status::downloading, 0.5));
            gate->pass();
            a->setUpdate(std::nullopt);
            return Update::Result{QUuid::createUuid(), a, true, std::nullopt, QDateTime::currentDateTime()};
        });
        auto nextReport = world.gate();
        world.coordinator.setAdoptionScript([gate, nextReport](const ApplicationPtr& a, const auto& report) {
            // The panel appears with the first report and grows a bar with the next.
            for (const double fraction : {0.0, 0.5}) {
                report(AdoptionProgress{QUuid::createUuid(), a, AdoptionProgress::Status::adopting, fraction,
                                        QStringLiteral("==> Adopting"), QDateTime::currentDateTime(), std::nullopt});
                (fraction == 0.0 ? nextReport : gate)->pass();
            }
        });
        Pane pane(world);
        pane.view.resize(580, 440);
        auto* scroll = pane.find<QScrollArea>("detailScroll");
        const auto inView = [scroll](const char* name) {
            auto* widget = scroll->widget()->findChild<QWidget*>(QString::fromLatin1(name));
            const QRect area(widget->mapTo(scroll->widget(), QPoint(0, 0)), widget->size());
            const int top = scroll->verticalScrollBar()->value();
            return widget->isVisible() && area.top() >= top && area.bottom() < top + scroll->viewport()->height();
        };
        const char* button = update ? "primaryButton" : "adoptButton";
        QTRY_VERIFY(scroll->verticalScrollBar()->maximum() > 0 && pane.shows(button));
        QVERIFY(!update || inView("applicationName"));
        // Focused, the button hands its focus on as it goes disabled or hidden.
        if (focusOnClick)
            pane.button(button)->setFocus();
        pane.button(button)->click();
        const char* panel = update ? "updateProgressView" : "adoptionProgressView";
        QTRY_VERIFY(pane.shows(panel));
        QTRY_VERIFY(inView(panel));
        if (!update) {
            const int height = pane.find<QWidget>(panel)->height();
            nextReport->open();
            QTRY_VERIFY(pane.find<QWidget>(panel)->height() > height);
            QTRY_VERIFY(inView(panel));
        }
        if (update)
            QVERIFY(inView("applicationName"));
        if (scrollAway)
            scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        gate->open();
        QTRY_COMPARE(world.pauses.pending(), 1);
        world.pauses.endOldest();
        QTRY_VERIFY(!world.detail.isUpdating() && !world.detail.isAdopting());
        if (update)
            QTRY_VERIFY(inView("applicationName"));
    }

    // Outside texts of any length (the bundle's name and versions, the catalogue's cask, brew's
    // answer) never push the pane past the window at its smallest: every control stays in reach,
    // and the name is cut with "…", whole in its tooltip. What is cut or broken to fit copies as
    // it was given, and a triple-click selects a paragraph as given, not a line the label made; a
    // short version stays whole beside a long one, in the pane and in the list, whose tooltips
    // show what the row cuts.
    void longTextsStayInTheWindow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("longer"); // what else is long
        const QString words = QStringLiteral("The Remarkably Long Name Of An Application Bundle");
        QTest::newRow("a name of many words, the manual cask") << words << "";
        QTest::newRow("a name of one word, versions") << longWord() << "versions";
        QTest::newRow("a long installed version") << longWord() << "long installed version";
        QTest::newRow("a short installed version") << longWord() << "short installed version";
        QTest::newRow("an adoptable cask") << words << "cask";
        QTest::newRow("an adopted cask") << words << "adopted cask";
        QTest::newRow("brew's answer to Verify") << words << "failure";
    }
    void longTextsStayInTheWindow()
    {
        QFETCH(QString, name);
        QFETCH(QString, longer);
        const QString version = QStringLiteral("2024.11.28-nightly+build.").repeated(3);
        const QString word = longWord();
        MainWindowTestWorld world;
        world.appState.setHasAppManagementPermission(true);
        world.appState.setHasCompletedWelcomeTour(true);
        world.environment->setStatus(EnvironmentStatus{true, true, true, std::nullopt});
        auto app = MainWindowTestWorld::app(name);
        world.discovery->setApplications({app});
        MainWindow window(world.viewEnvironment());
        window.resize(860, 500);
        window.show();
        QTRY_VERIFY(world.coordinator.callCount(Op::checkForUpdates) == 1 &&
                    !world.sidebar.isCheckingUpdates());
        if (longer == "versions") {
            app->setCurrentVersion(version);
            app->setUpdate(makeUpdate(version + "1"));
            app->setSkippedVersion(version + "0");
        }
        if (longer.endsWith("installed version")) {
            const bool longInstalled = longer.startsWith("long");
            app->setCurrentVersion(longInstalled ? version : "1.0");
            app->setUpdate(makeUpdate(longInstalled ? "1.13.0" : version));
        }
        if (longer.endsWith("cask")) {
            Cask cask = makeCask(QStringLiteral("the-remarkably-long-name-of-an-application-bundle-for-teams-"
                                                "and-designers"),
                                 true);
            cask.adopted = longer == "adopted cask";
            cask.latestVersion = version;
            cask.homepage =
                QUrl("https://downloads.the-remarkably-long-name-of-an-application.example/" + word);
            cask.warnings = {word.repeated(2)};
            cask.description = word.repeated(2);
            app->setCask(cask);
        }
        world.store.setSelectedApplicationId(app->id());
        if (longer == "failure") {
            world.coordinator.failWith(
                Op::verifyCustomCask,
                Error("Cask 'figma' is already managing another app at: /Applications/" + word.repeated(3) +
                      ".app\nRemove it first."));
            QTRY_VERIFY(window.findChild<QLineEdit*>("caskNameField"));
            window.findChild<QLineEdit*>("caskNameField")->setText(QStringLiteral("figma"));
            window.findChild<QPushButton*>("verifyCaskButton")->click();
            QTRY_VERIFY(!window.findChild<ManualCaskEntryView*>()->failureText().isEmpty());
        }
        QTRY_VERIFY(window.findChild<QLabel*>("applicationName"));
        QTRY_COMPARE(pastTheEdge(window), QStringList());
        const auto* shownName = window.findChild<QLabel*>("applicationName");
        QVERIFY(shownName->text().endsWith(QChar(0x2026)));
        QCOMPARE(shownName->toolTip(), name);

        int copied = 0;
        RecordingClipboard selection;
        for (FittedTextLabel* label : window.findChildren<FittedTextLabel*>()) {
            if (!label->isVisibleTo(&window) || !(label->textInteractionFlags() & Qt::TextSelectableByMouse))
                continue;
            ++copied;
            label->setSelection(0, int(label->text().size()));
            QTest::keySequence(label, QKeySequence::Copy);
            QCOMPARE(QGuiApplication::clipboard()->text(), label->fullText());
            label->setSelection(1, int(label->text().size()) - 2);
            QTest::keySequence(label, QKeySequence::Copy);
            QVERIFY(label->fullText().contains(QGuiApplication::clipboard()->text()));
            // A triple-click on the first line selects its paragraph as given, for a middle click.
            label->setClipboard(&selection);
            const QPoint firstLine(2, label->fontMetrics().height() / 2);
            QTest::mouseDClick(label, Qt::LeftButton, {}, firstLine);
            QTest::mouseRelease(label, Qt::LeftButton, {}, firstLine);
            QTest::mouseClick(label, Qt::LeftButton, {}, firstLine);
            QCOMPARE(selection.selected.value(selection.selected.size() - 1),
                     label->fullText().section(QLatin1Char('\n'), 0, 0, QString::SectionIncludeTrailingSep));
        }
        QVERIFY(copied > 0 || (longer != "cask" && longer != "failure"));
        // A name or version the list row cuts shows whole in the row's tooltip, where it is painted:
        // a row spans the viewport, also once more applications have brought the scroll bar.
        const auto* list = window.findChild<QListView*>("applicationList");
        ApplicationList more{app};
        for (int i = 0; i < 30; ++i)
            more.append(MainWindowTestWorld::app(QStringLiteral("Zz%1").arg(i)));
        world.store.setApplications(more);
        QTRY_VERIFY(list->verticalScrollBar()->isVisible());
        const QRect rowRect(
            list->visualRect(list->model()->index(0, 0)).topLeft(),
            QSize(list->viewport()->width(), list->visualRect(list->model()->index(0, 0)).height()));
        QList<std::pair<QRect, QString>> tips; // where, and what shows there
        for (const auto& text :
             ApplicationRowDelegate::rowTexts(rowRect, list->font(), app->snapshot(), false, false)) {
            if (text.shown != text.whole)
                tips.append({text.rect, text.whole});
        }
        QVERIFY(!tips.isEmpty());
        for (const auto& indicator : ApplicationRowDelegate::statusSlots(rowRect.adjusted(6, 4, -6, -4),
                                                                         app->snapshot(), false, false))
            tips.append({indicator.rect, indicator.tooltip});
        for (const auto& [at, tip] : tips) {
            QHelpEvent help(QEvent::ToolTip, at.center(), list->viewport()->mapToGlobal(at.center()));
            QApplication::sendEvent(list->viewport(), &help);
            QCOMPARE(QToolTip::text(), tip);
        }
        if (longer == "adopted cask") {
            // The homepage's host is an address: cut, never broken inside a word.
            const QString host = app->cask()->homepage->host();
            const auto values = window.findChildren<ClampedLabel*>("metadataValue");
            const auto shown =
                std::find_if(values.cbegin(), values.cend(),
                             [&host](const ClampedLabel* value) { return value->fullText() == host; });
            QVERIFY(shown != values.cend() && !(*shown)->text().contains(QChar::LineSeparator) &&
                    (*shown)->toolTip() == host);
        }
        if (longer.endsWith("installed version")) {
            auto* current = window.findChild<ElidingLabel*>("currentVersion");
            auto* latest = window.findChild<ElidingLabel*>("latestVersion");
            const bool shortInstalled = longer.startsWith("short");
            ElidingLabel* shortOne = shortInstalled ? current : latest;
            const ElidingLabel* longOne = shortInstalled ? latest : current;
            QTRY_COMPARE(shortOne->text(), shortOne->fullText());
            QVERIFY(longOne->text().endsWith(QChar(0x2026)));
            QCOMPARE(longOne->toolTip(), longOne->fullText());
            // The long one takes the room the short one leaves: more than half the line.
            QVERIFY(longOne->width() > window.findChild<QWidget*>("versionLine")->width() / 2);
            const QList<ApplicationRowDelegate::RowText> row =
                ApplicationRowDelegate::rowTexts(rowRect, list->font(), app->snapshot(), false, false);
            const auto& rowShort = row.at(shortInstalled ? 1 : 2);
            const auto& rowLong = row.at(shortInstalled ? 2 : 1);
            QCOMPARE(rowShort.shown, shortOne->fullText());
            QVERIFY(rowLong.shown.endsWith(QChar(0x2026)));
            // In the row, the new version still ends before the update's indicator.
            const int lineEnd = ApplicationRowDelegate::statusSlots(rowRect, app->snapshot(), false, false)
                                    .first()
                                    .rect.left();
            QVERIFY(row.at(2).rect.right() < lineEnd);
            QVERIFY(rowLong.rect.width() > (lineEnd - row.at(1).rect.left()) / 2);
            if (shortInstalled) { // narrower than "M…": whole at the least it asks for, in any layout
                shortOne->resize(shortOne->minimumSizeHint());
                QCOMPARE(shortOne->text(), shortOne->fullText());
            }
        }
        renderBothThemes(&window, QStringLiteral("detail-long-") + QTest::currentDataTag(), window.size());
    }

    void renders()
    {
        MainWindowTestWorld world;
        world.appState.setHasAppManagementPermission(true);
        world.store.setLastUpdateCheck(QDateTime::currentDateTime().addSecs(-300));
        auto app = world.select(MainWindowTestWorld::app(QStringLiteral("Figma*"), {S::homebrew, S::sparkle}));
        Cask cask = makeCask(QStringLiteral("figma"));
        cask.adopted = true;
        cask.homepage = QUrl(QStringLiteral("https://www.figma.com/desktop"));
        app->setCask(cask);
        Update update = makeUpdate(QStringLiteral("2.0"), Update::Source::sparkle);
        update.releaseDate = QDateTime::currentDateTime().addDays(-3);
        update.releaseNotes = QStringLiteral("## What's new\n- Faster start\n- **Fixed** a crash");
        app->setUpdate(update);
        app->setSkippedVersion(QStringLiteral("1.9"));
        Pane pane(world);
        QTRY_VERIFY(pane.view.releaseNotes());
        QVERIFY(!renderToPng(&pane.view, QStringLiteral("detailview")).isEmpty());
    }
};

QTEST_MAIN(TestDetailView)
#include "tst_detailview.moc"
