#include "tst_sidebarworld.h"

#include "ui/main/ApplicationListHeaderView.h"
#include "ui/main/ApplicationListModel.h"
#include "ui/main/ApplicationRowDelegate.h"
#include "ui/main/ApplicationSearchView.h"
#include "ui/main/MissingSourcesHeaderView.h"
#include "ui/main/SidebarBusyOverlay.h"
#include "ui/main/SidebarRules.h"
#include "ui/main/SidebarView.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace norvelle;
using namespace norvelle::test;
using F = ApplicationFilter;
using S = Application::Source;

class TestSidebarHeaders : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void header_data()
    {
        QTest::addColumn<F>("filter");
        QTest::addColumn<int>("filtered");
        QTest::addColumn<int>("updates");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("clearFilter");
        QTest::addColumn<bool>("showUpdates");

        QTest::newRow("one application") << F::all << 1 << 0 << "Application" << false << false;
        QTest::newRow("no applications") << F::all << 0 << 0 << "Applications" << false << false;
        QTest::newRow("two with updates") << F::all << 2 << 1 << "Applications" << false << true;
        QTest::newRow("updates filter") << F::updates << 3 << 3 << "Updates" << true << false;
        QTest::newRow("ignored, empty") << F::ignored << 0 << 2 << "Ignored" << true << false;
        QTest::newRow("app store") << F::appStore << 1 << 0 << "App Store" << true << false;
    }

    void header()
    {
        QFETCH(F, filter);
        QFETCH(int, filtered);
        QFETCH(int, updates);
        QFETCH(QString, label);
        QFETCH(bool, clearFilter);
        QFETCH(bool, showUpdates);

        ApplicationListHeaderView header;
        header.setState(filter, filtered, updates, false);
        QCOMPARE(header.findChild<QLabel*>("headerLabel")->text(), label);
        QCOMPARE(header.findChild<QLabel*>("headerCount")->text(), QString::number(filtered));
        QCOMPARE(!header.findChild<QPushButton*>("clearFilterButton")->isHidden(), clearFilter);
        QCOMPARE(!header.findChild<QPushButton*>("showUpdatesButton")->isHidden(), showUpdates);
        header.setState(filter, filtered, updates, true);
        QVERIFY(header.isHidden());
    }

    void missingBanner_data()
    {
        QTest::addColumn<bool>("brew");
        QTest::addColumn<bool>("mas");
        QTest::addColumn<bool>("hide");
        QTest::addColumn<QString>("names"); // empty: no banner

        QTest::newRow("both present") << true << true << false << QString();
        QTest::newRow("brew missing") << false << true << false << "Brew";
        QTest::newRow("mas missing") << true << false << false << "App Store";
        QTest::newRow("both missing") << false << false << false << "Brew, App Store";
        QTest::newRow("both missing while busy") << false << false << true << QString();
    }

    void missingBanner()
    {
        QFETCH(bool, brew);
        QFETCH(bool, mas);
        QFETCH(bool, hide);
        QFETCH(QString, names);

        MissingSourcesHeaderView banner;
        banner.setState(EnvironmentStatus{brew, mas, false, std::nullopt}, hide);
        QCOMPARE(!banner.isHidden(), !names.isEmpty());
        if (!names.isEmpty()) {
            QCOMPARE(banner.missingNames(), names);
            QCOMPARE(banner.toolTip(), QStringLiteral("Click to learn how to install ") + names);
        }
    }

    void overlayText()
    {
        SidebarBusyOverlay overlay;
        overlay.setState(false, true);
        QCOMPARE(overlay.text(), QStringLiteral("Checking for Updates..."));
        overlay.setState(true, true);
        QCOMPARE(overlay.text(), QStringLiteral("Discovering Applications..."));
    }

    void rowIndicators_data()
    {
        QTest::addColumn<bool>("update");
        QTest::addColumn<bool>("adoptable");
        QTest::addColumn<bool>("updating");
        QTest::addColumn<bool>("adopting");
        QTest::addColumn<QStringList>("tooltips");

        QTest::newRow("adoptable with update") << true << true << false << false
                                               << QStringList{"This app is adoptable by Homebrew",
                                                              "An update is available"};
        QTest::newRow("adoptable while updating") << true << true << true << false << QStringList{"Updating..."};
        QTest::newRow("adopting with update") << true << false << false << true
                                              << QStringList{"Adopting cask...", "An update is available"};
        QTest::newRow("nothing") << false << false << false << false << QStringList{};
    }

    void rowIndicators()
    {
        QFETCH(bool, update);
        QFETCH(bool, adoptable);
        QFETCH(bool, updating);
        QFETCH(bool, adopting);
        QFETCH(QStringList, tooltips);
        Application::Snapshot app;
        if (update)
            app.update = makeUpdate(QStringLiteral("2.0"));
        if (adoptable)
            app.cask = makeCask(QStringLiteral("x"), true);
        QStringList shown;
        for (const auto& indicator : ApplicationRowDelegate::statusSlots(QRect(0, 0, 260, 60), app, updating, adopting))
            shown.append(indicator.tooltip);
        QCOMPARE(shown, tooltips);
    }

    void badgeLine()
    {
        QVERIFY(ApplicationRowDelegate::showsBadgeLine({S::homebrew, S::sparkle}));
        QVERIFY(!ApplicationRowDelegate::showsBadgeLine({S::homebrew, S::other}));
        QVERIFY(!ApplicationRowDelegate::showsBadgeLine({}));
    }
};

QTEST_MAIN(TestSidebarHeaders)
#include "tst_sidebarheaders.moc"
