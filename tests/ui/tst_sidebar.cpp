#include "tst_sidebarworld.h"

#include "ui/main/ApplicationListHeaderView.h"
#include "ui/main/ApplicationListModel.h"
#include "ui/main/ApplicationRowDelegate.h"
#include "ui/main/ApplicationSearchView.h"
#include "ui/main/ContentView.h"
#include "ui/main/DiscoveryProblemsView.h"
#include "ui/main/MissingSourcesHeaderView.h"
#include "ui/main/SidebarBusyOverlay.h"
#include "ui/main/SidebarRules.h"
#include "ui/main/SidebarView.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QGraphicsEffect>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace norvelle;
using namespace norvelle::test;
using F = ApplicationFilter;
using S = Application::Source;

class TestSidebar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The list's order, filter and search, read through the model the list shows.

    void visibleRows_data()
    {
        QTest::addColumn<QStringList>("apps"); // "Name[*!+]:sources" with sources h, s, a, o
        QTest::addColumn<F>("filter");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("updates first, then by name") << QStringList{"beta", "Alpha", "zeta*"} << F::all << QString()
                                                     << QStringList{"zeta", "Alpha", "beta"};
        QTest::newRow("equal names keep store order") << QStringList{"Mail", "mail"} << F::all << QString()
                                                      << QStringList{"Mail", "mail"};
        QTest::newRow("equal names keep store order, reversed") << QStringList{"mail", "Mail"} << F::all << QString()
                                                                << QStringList{"mail", "Mail"};
        QTest::newRow("ignored only under ignored") << QStringList{"Zed*!", "Bee"} << F::all << QString()
                                                    << QStringList{"Bee"};
        QTest::newRow("ignored filter") << QStringList{"Zed*!", "Bee"} << F::ignored << QString()
                                        << QStringList{"Zed"};
        QTest::newRow("ignored update not under updates") << QStringList{"Zed*!", "Bee*"} << F::updates << QString()
                                                          << QStringList{"Bee"};
        QTest::newRow("adoptable needs an adoptable cask") << QStringList{"Cask+", "NoCask", "Plain$"} << F::adoptable
                                                           << QString() << QStringList{"Cask"};
        QTest::newRow("two sources under brew") << QStringList{"Both:hs", "Store:a"} << F::brew << QString()
                                                << QStringList{"Both"};
        QTest::newRow("two sources under sparkle") << QStringList{"Both:hs", "Store:a"} << F::sparkle << QString()
                                                   << QStringList{"Both"};
        QTest::newRow("app store") << QStringList{"Both:hs", "Store:a"} << F::appStore << QString()
                                   << QStringList{"Store"};
        QTest::newRow("search is case-insensitive") << QStringList{"Safari", "Slack"} << F::all << "SAF"
                                                    << QStringList{"Safari"};
        QTest::newRow("search without match") << QStringList{"Safari"} << F::all << "zzz" << QStringList{};
        QTest::newRow("a blank is searched as typed") << QStringList{"Visual Studio", "Xcode"} << F::all << " "
                                                      << QStringList{"Visual Studio"};
        QTest::newRow("search within a filter") << QStringList{"Safari*", "Sidekick", "Safe*"} << F::updates << "saf"
                                                << QStringList{"Safari", "Safe"};
    }

    void visibleRows()
    {
        QFETCH(QStringList, apps);
        QFETCH(F, filter);
        QFETCH(QString, search);
        QFETCH(QStringList, expected);

        MainWindowTestWorld world;
        ApplicationList list;
        for (const QString& entry : apps) {
            const QStringList parts = entry.split(QLatin1Char(':'));
            QList<S> source{S::homebrew};
            if (parts.size() > 1) {
                source.clear();
                for (QChar c : parts[1])
                    source.append(c == 'h' ? S::homebrew : c == 's' ? S::sparkle : c == 'a' ? S::appStore : S::other);
            }
            list.append(MainWindowTestWorld::app(parts[0], source));
        }
        ApplicationListModel model(world.store);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        world.store.setApplications(list);
        model.setFilter(filter);
        model.setSearchText(search);
        QCOMPARE(rowNames(model), expected);
    }

    // The rows follow the store, the busy state and the progress records while the tester watches.

    void modelFollowsChanges()
    {
        MainWindowTestWorld world;
        ApplicationListModel model(world.store);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        auto alpha = MainWindowTestWorld::app(QStringLiteral("Alpha"));
        auto beta = MainWindowTestWorld::app(QStringLiteral("Beta"));
        world.store.setApplications({beta, alpha});
        QCOMPARE(rowNames(model), (QStringList{"Alpha", "Beta"}));

        beta->setUpdate(makeUpdate(QStringLiteral("3.0")));
        QTRY_COMPARE(rowNames(model), (QStringList{"Beta", "Alpha"}));
        alpha->setIgnored(true);
        QTRY_COMPARE(rowNames(model), (QStringList{"Beta"}));

        model.setBusy(true);
        QCOMPARE(model.rowCount(), 0);
        model.setBusy(false);
        QCOMPARE(rowNames(model), (QStringList{"Beta"}));

        using US = UpdateProgress::Status;
        for (auto [status, updating] : {std::pair{US::queued, true}, std::pair{US::verifying, true},
                                        std::pair{US::completed, false}, std::pair{US::failed, false},
                                        std::pair{US::cancelled, false}}) {
            UpdateProgress progress;
            progress.application = beta;
            progress.status = status;
            model.setUpdateProgress(progress);
            QCOMPARE(model.index(0).data(ApplicationListModel::IsUpdatingRole).toBool(), updating);
        }
        AdoptionProgress adoption;
        adoption.application = alpha; // another application: not this row's
        adoption.status = AdoptionProgress::Status::adopting;
        model.setAdoptionProgress(adoption);
        QCOMPARE(model.index(0).data(ApplicationListModel::IsAdoptingRole).toBool(), false);
    }

    void rowMenu_data()
    {
        QTest::addColumn<bool>("hasUpdate");
        QTest::addColumn<bool>("ignored");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("permission");
        QTest::addColumn<QStringList>("items"); // "+" enabled, "-" disabled, "|" divider

        QTest::newRow("update with permission") << true << false << false << true
                                                << QStringList{"+Update", "|", "+Ignore App"};
        QTest::newRow("permission missing") << true << false << false << false
                                            << QStringList{"-Update (Permission Required)", "|", "+Ignore App"};
        QTest::newRow("busy") << true << false << true << true << QStringList{"-Update", "|", "-Ignore App"};
        QTest::newRow("ignored with update") << true << true << false << true << QStringList{"+Unignore App"};
        QTest::newRow("no update") << false << false << false << true << QStringList{"+Ignore App"};
    }

    // The menu a right-click on the row builds, with the permission read from the app state.

    void rowMenu()
    {
        QFETCH(bool, hasUpdate);
        QFETCH(bool, ignored);
        QFETCH(bool, busy);
        QFETCH(bool, permission);
        QFETCH(QStringList, items);

        MainWindowTestWorld world;
        auto app = MainWindowTestWorld::app(QStringLiteral("Target") + (hasUpdate ? "*" : "") + (ignored ? "!" : ""));
        world.store.setApplications({app});
        world.sidebar.setCurrentFilter(ignored ? F::ignored : F::all);
        world.appState.setHasAppManagementPermission(permission);
        if (busy) {
            UpdateProgress progress;
            progress.application = app;
            progress.status = UpdateProgress::Status::downloading;
            world.detail.setUpdateProgress(progress);
        }
        SidebarView view(world.viewEnvironment());
        QMenu* menu = view.contextMenuForRow(0);
        QStringList shown;
        for (QAction* action : menu->actions())
            shown.append(action->isSeparator() ? QStringLiteral("|")
                                               : (action->isEnabled() ? "+" : "-") + action->text());
        QCOMPARE(shown, items);
        delete menu;
    }

    void rowMenuWithoutActions()
    {
        using sidebar::RowMenuInput;
        RowMenuInput input;
        input.hasUpdate = true;
        input.canUpdate = false;
        input.canToggleIgnore = false;
        QVERIFY(sidebar::rowMenuItems(input).isEmpty());
        input.canToggleIgnore = true;
        QCOMPARE(sidebar::rowMenuItems(input).size(), 1);
    }

    // The menu's actions select the row first, so the detail view model acts on it.

    void rowMenuActionsSelectTheRow()
    {
        MainWindowTestWorld world;
        world.appState.setHasAppManagementPermission(true);
        auto first = MainWindowTestWorld::app(QStringLiteral("First"));
        auto second = MainWindowTestWorld::app(QStringLiteral("Second*"));
        world.store.setApplications({first, second});
        world.store.setSelectedApplicationId(first->id());
        SidebarView view(world.viewEnvironment());
        QCOMPARE(rowNames(view.model()), (QStringList{"Second", "First"}));

        QMenu* menu = view.contextMenuForRow(0);
        menu->findChild<QAction*>("rowUpdateAction")->trigger();
        QCOMPARE(world.store.selectedApplicationId(), std::optional(second->id()));
        QTRY_VERIFY(world.coordinator.calls().contains(QStringLiteral("updateApplication Second")));
        delete menu;

        menu = view.contextMenuForRow(view.model().rowOf(first->id()));
        menu->findChild<QAction*>("rowToggleIgnoreAction")->trigger();
        QCOMPARE(world.store.selectedApplicationId(), std::optional(first->id()));
        QTRY_VERIFY(world.coordinator.calls().contains(QStringLiteral("ignoreApplication First")));
        delete menu;
    }

    // A focused list picks a current row by itself; that must not become the selection, and

    // hiding the selected row must not clear it.

    void selectionGuard()
    {
        MainWindowTestWorld world;
        auto alpha = MainWindowTestWorld::app(QStringLiteral("Alpha"));
        auto beta = MainWindowTestWorld::app(QStringLiteral("Beta"));
        world.store.setApplications({alpha, beta});
        SidebarView view(world.viewEnvironment());
        view.resize(280, 500);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.listView()->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(view.listView()->hasFocus());
        QCOMPARE(world.store.selectedApplicationId(), std::nullopt);
        QVERIFY(view.listView()->selectionModel()->selectedIndexes().isEmpty());

        const QRect second = view.listView()->visualRect(view.model().index(1));
        QTest::mouseClick(view.listView()->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(world.store.selectedApplicationId(), std::optional(beta->id()));

        view.findChild<QLineEdit*>("searchField")->setText(QStringLiteral("Alp"));
        QCOMPARE(rowNames(view.model()), (QStringList{"Alpha"}));
        QCOMPARE(world.store.selectedApplicationId(), std::optional(beta->id()));
        QVERIFY(view.listView()->selectionModel()->selectedIndexes().isEmpty());

        view.findChild<QLineEdit*>("searchField")->clear();
        QCOMPARE(view.listView()->selectionModel()->selectedIndexes().value(0).row(), 1);

        world.store.setSelectedApplicationId(alpha->id());
        QCOMPARE(view.listView()->selectionModel()->selectedIndexes().value(0).row(), 0);
    }

    // While a discovery runs the list is empty and disabled, the headers hide, the toolbar is

    // disabled, the search stays editable; afterwards everything returns.

    void busyState()
    {
        MainWindowTestWorld world;
        world.store.setEnvironmentStatus(EnvironmentStatus{false, true, true, std::nullopt});
        auto app = MainWindowTestWorld::app(QStringLiteral("Alpha*"));
        auto store = MainWindowTestWorld::app(QStringLiteral("Beta"), {S::appStore});
        auto feed = MainWindowTestWorld::app(QStringLiteral("Gamma"), {S::sparkle});
        world.store.setApplications({app, store, feed});
        world.discovery->setApplications({app, store, feed});
        const QString why =
            QStringLiteral("Failed to connect to formulae.brew.sh port 443 after 3 ms: Connection refused");
        const QString masWhy = QStringLiteral("mas exited with status 1: Error: not signed in");
        world.discovery->setSourceFailures(
            {{QStringLiteral("Homebrew"), why}, {SourceFailure::appStore(), masWhy}});
        world.updates->setUnreadSources(
            {{store->bundleIdentifier(), SourceFailure{SourceFailure::appStore(), masWhy}},
             {feed->bundleIdentifier(),
              SourceFailure{SourceFailure::updateFeed(), QStringLiteral("offline")}}});
        SidebarView view(world.viewEnvironment());
        view.setFixedSize(ContentView::sidebarWidth, 500);
        view.show();
        auto* updateAll = view.findChild<QToolButton*>("updateAllButton");
        auto* refresh = view.findChild<QToolButton*>("refreshButton");
        auto* filter = view.findChild<QToolButton*>("filterButton");
        auto* header = view.findChild<ApplicationListHeaderView*>();
        auto* banner = view.findChild<MissingSourcesHeaderView*>();
        auto* overlay = view.findChild<SidebarBusyOverlay*>();
        QVERIFY(updateAll->isEnabled());
        QVERIFY(banner->isVisible());

        auto gate = world.gate();
        world.coordinator.setGate(Op::discoverApplications, gate);
        refresh->click();
        QTRY_VERIFY(world.sidebar.isDiscovering());
        QCOMPARE(view.model().rowCount(), 0);
        QVERIFY(!view.listView()->isEnabled());
        QVERIFY(header->isHidden());
        QVERIFY(banner->isHidden());
        QVERIFY(!updateAll->isEnabled() && !refresh->isEnabled() && !filter->isEnabled());
        QCOMPARE(overlay->text(), QStringLiteral("Discovering Applications..."));
        QVERIFY(view.findChild<QLineEdit*>("searchField")->isEnabled());
        // Nothing that repaints while busy is drawn through a graphics effect: neither the list
        // (it shows no rows) nor anything from the card's animated spinner up to the view.
        QVERIFY(!view.listView()->graphicsEffect() || !view.listView()->graphicsEffect()->isEnabled());
        for (QWidget* w = overlay->findChild<QProgressBar*>(); w && w != &view; w = w->parentWidget())
            QVERIFY2(!w->graphicsEffect() || !w->graphicsEffect()->isEnabled(), w->metaObject()->className());

        gate->open();
        // Refresh goes on with the update check after the discovery.
        QTRY_COMPARE(world.coordinator.callCount(Op::checkForUpdates), 1);
        QTRY_VERIFY(!world.sidebar.isCheckingUpdates());
        QCOMPARE(overlay->text(), QString());
        QVERIFY(view.listView()->isEnabled());
        QVERIFY(refresh->isEnabled());
        QCOMPARE(world.coordinator.calls().first(), QStringLiteral("discoverApplications"));

        // What the discovery could not read is told whole, wrapped within the column, until a
        // discovery reads everything; the check that followed has not taken it away, and adds
        // what it could not read; the store's listing that both could not read is told once.
        auto* problems = view.findChild<DiscoveryProblemsView*>();
        const QString firstLine = QStringLiteral("Homebrew could not be read: ") + why;
        QTRY_COMPARE(problems->text(), QStringList({firstLine, "App Store could not be read: " + masWhy,
                                                    "The update feed of Gamma could not be read: offline"})
                                           .join(QLatin1Char('\n')));
        auto* text = problems->findChild<QLabel*>("discoveryProblemsText");
        // The layout settles in posted events after the text has changed.
        QTRY_VERIFY(text->minimumSizeHint().width() <= text->width() &&
                    text->heightForWidth(text->width()) <= text->height());
        // A triple-click on the first line takes its paragraph as shown, without a line feed.
        const QPoint onFirstLine(2, text->fontMetrics().height() / 2);
        QTest::mouseDClick(text, Qt::LeftButton, {}, onFirstLine);
        QTest::mouseRelease(text, Qt::LeftButton, {}, onFirstLine);
        QTest::mouseClick(text, Qt::LeftButton, {}, onFirstLine);
        QTest::keySequence(text, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), firstLine);
        world.discovery->setSourceFailures({});
        world.updates->setUnreadSources({});
        refresh->click();
        QTRY_COMPARE(world.coordinator.callCount(Op::checkForUpdates), 2);
        QTRY_VERIFY(!world.sidebar.isCheckingUpdates());
        QVERIFY(problems->isHidden());
    }

    // "Update All" needs an application that can be updated without a password.

    void updateAllNeedsAnAppWithoutPassword()
    {
        MainWindowTestWorld world;
        auto locked = MainWindowTestWorld::app(QStringLiteral("Locked*$"));
        world.store.setApplications({locked});
        SidebarView view(world.viewEnvironment());
        auto* updateAll = view.findChild<QToolButton*>("updateAllButton");
        QVERIFY(!updateAll->isEnabled());
        const auto split = sidebar::splitByPassword(world.store.applicationsWithUpdates());
        QCOMPARE(split.sudoRequiredApps.size(), 1);
        QVERIFY(split.applications.isEmpty());
        // The header's shortcut still opens the sheet.
        view.findChild<QPushButton*>("showUpdatesButton")->click();
        QVERIFY(world.sidebar.showUpdateSheet());

        // A password cask without Homebrew among the sources does not need one, and neither
        // does a Homebrew cask without the password flag.
        auto sparkleOnly = MainWindowTestWorld::app(QStringLiteral("Other*$"), {S::sparkle});
        world.store.setApplications({locked, sparkleOnly});
        QVERIFY(updateAll->isEnabled());
        auto plainCask = MainWindowTestWorld::app(QStringLiteral("Plain*"));
        plainCask->setCask(makeCask(QStringLiteral("plain")));
        world.store.setApplications({locked, plainCask});
        QVERIFY(updateAll->isEnabled());
    }

    void filterMenu()
    {
        MainWindowTestWorld world;
        SidebarView view(world.viewEnvironment());
        auto* menu = view.findChild<QMenu*>("filterMenu");
        QStringList titles;
        for (QAction* action : menu->actions())
            titles.append(action->text());
        QCOMPARE(titles, (QStringList{"All", "Adoptable", "App Store", "Brew", "Ignored", "Sparkle", "Updates"}));
        menu->actions().at(3)->trigger();
        QCOMPARE(world.sidebar.currentFilter(), F::brew);
        QVERIFY(menu->actions().at(3)->isChecked());
        menu->actions().at(3)->trigger();
        QCOMPARE(world.sidebar.currentFilter(), F::brew);
        QVERIFY(menu->actions().at(3)->isChecked());
        QVERIFY(!menu->actions().at(0)->isChecked());
        view.findChild<QPushButton*>("clearFilterButton")->click();
        QCOMPARE(world.sidebar.currentFilter(), F::all);
    }
};

QTEST_MAIN(TestSidebar)
#include "tst_sidebar.moc"
