#include "ui/detail/PanelActions.h"
#include "ui/detail/ProgressBanner.h"
#include "ui/main/components/CommandField.h"
#include "ui/main/components/PaletteFollower.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/SystemColors.h"

#include <QLabel>
#include <QProgressBar>
#include <QPromise>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace norvelle;

namespace {

const ProgressBanner::Names names{"banner", "title", "step",       "spinner",
                                  "box",    "bar",   "percentage", "estimate"};

} // namespace

class TestDetailSharedParts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bannerFraction_data()
    {
        QTest::addColumn<double>("fraction");
        QTest::addColumn<bool>("barShown");
        QTest::addColumn<int>("barValue");
        QTest::newRow("nothing yet") << 0.0 << false << 0;
        QTest::newRow("just started") << 0.001 << true << 1;
        QTest::newRow("half") << 0.5 << true << 500;
        QTest::newRow("almost") << 0.999 << true << 999;
        QTest::newRow("done") << 1.0 << false << 1000;
        QTest::newRow("below range") << -0.5 << false << 0;
        QTest::newRow("above range") << 1.5 << false << 1000;
    }

    void bannerFraction()
    {
        QFETCH(double, fraction);
        QFETCH(bool, barShown);
        QFETCH(int, barValue);
        ProgressBanner banner(names, SystemColors::blue(), 32, nullptr);
        banner.showStatus(SystemColors::orange(), QStringLiteral("Working"), QStringLiteral("Step"), true);
        banner.showFraction(fraction, QStringLiteral("42%"));
        QCOMPARE(!banner.findChild<QWidget*>("box")->isHidden(), barShown);
        auto* bar = banner.findChild<QProgressBar*>("bar");
        QCOMPARE(bar->value(), barValue);
        // The bar takes the colour of the latest status, not the one the banner was built with.
        QCOMPARE(bar->palette().color(QPalette::Highlight), SystemColors::orange());
    }

    void bannerStatusAndEstimate()
    {
        ProgressBanner banner(names, SystemColors::blue(), 40, nullptr);
        QCOMPARE(banner.objectName(), QStringLiteral("banner"));
        QCOMPARE(banner.findChild<QWidget*>("spinner")->width(), 40);
        banner.showStatus(SystemColors::red(), QStringLiteral("Failed <b>x</b>"), QStringLiteral("Gone"),
                          false);
        QCOMPARE(banner.color(), SystemColors::red());
        auto* title = banner.findChild<QLabel*>("title");
        QCOMPARE(title->text(), QStringLiteral("Failed <b>x</b>"));
        QCOMPARE(title->textFormat(), Qt::PlainText);
        QCOMPARE(title->palette().color(QPalette::WindowText), SystemColors::red());
        QVERIFY(banner.findChild<QWidget*>("spinner")->isHidden());

        auto* estimate = banner.findChild<QLabel*>("estimate");
        banner.showEstimate(QDateTime::currentDateTime().addSecs(600));
        QVERIFY(!estimate->isHidden());
        QVERIFY(estimate->text().startsWith(QStringLiteral("Est. ")));
        banner.showEstimate(std::nullopt);
        QVERIFY(estimate->isHidden());
    }

    void paletteFollowerRunsOnEveryChange_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("own palette") << "palette";
        QTest::newRow("new parent") << "parent";
    }

    void paletteFollowerRunsOnEveryChange()
    {
        QFETCH(QString, change);
        QWidget parent;
        QWidget widget;
        int runs = 0;
        PaletteFollower::follow(&widget, [&runs] { ++runs; });
        QCOMPARE(runs, 1);
        if (change == QLatin1String("palette")) {
            QPalette palette = widget.palette();
            palette.setColor(QPalette::Window, Qt::darkBlue);
            widget.setPalette(palette);
        } else {
            widget.setParent(&parent);
        }
        QCOMPARE(runs, 2);
        widget.setParent(nullptr);
    }

    void paletteFollowerSettingItsOwnPaletteRunsOnce()
    {
        QWidget widget;
        int runs = 0;
        PaletteFollower::follow(&widget, [&widget, &runs] {
            ++runs;
            QPalette palette = widget.palette();
            palette.setColor(QPalette::WindowText, QColor(runs, 0, 0));
            widget.setPalette(palette);
        });
        QCOMPARE(runs, 1);
        widget.setPalette(QPalette(Qt::gray));
        QCOMPARE(runs, 2);
    }

    void textColorSetFromAFollowerReplacesTheOldOne()
    {
        // A follower that sets a text style again ends the style's own follower while that one
        // may be the one running; the sanitizer build catches a follower used after that.
        QWidget widget;
        QLabel label(&widget);
        setTextColor(&label, SystemColors::secondary());
        PaletteFollower::follow(&label, [&label] { setTextColor(&label, SystemColors::secondary()); });
        QPalette dark(Qt::black);
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::Window, Qt::black);
        widget.setPalette(dark);
        QCOMPARE(label.findChildren<PaletteFollower*>(QStringLiteral("textRoleFollower")).size(), 1);
    }

    void commandFieldCopyState_data()
    {
        QTest::addColumn<bool>("copied");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("resting") << false << "Copy command";
        QTest::newRow("copied") << true << "Copied!";
    }

    void commandFieldCopyState()
    {
        QFETCH(bool, copied);
        QFETCH(QString, toolTip);
        CommandField::Look look;
        look.objectName = "field";
        look.textObjectName = "text";
        look.pointSize = 11;
        look.textColor = Qt::white;
        look.selection = Qt::TextSelectableByMouse;
        look.iconSize = QSize(16, 16);
        CommandField field(QStringLiteral("brew <b>install</b> --cask x"), look);
        QCOMPARE(field.objectName(), QStringLiteral("field"));
        QCOMPARE(field.commandLabel()->textFormat(), Qt::PlainText);
        QCOMPARE(field.commandLabel()->text(), QStringLiteral("brew <b>install</b> --cask x"));
        QSignalSpy clicks(&field, &CommandField::copyClicked);
        field.copyButton()->click();
        QCOMPARE(clicks.size(), 1);
        field.showCopied(!copied, Qt::red);
        field.showCopied(copied, Qt::red);
        QCOMPARE(field.copyButton()->toolTip(), toolTip);
        QVERIFY(!field.copyButton()->icon().isNull());
    }

    void commandFieldWrappedLineKeepsAllItsLines()
    {
        CommandField::Look look;
        look.objectName = "field";
        look.textObjectName = "text";
        look.pointSize = 11;
        look.selection = Qt::TextSelectableByMouse;
        look.iconSize = QSize(16, 16);
        CommandField field(
            QStringLiteral("brew install --cask a-rather-long-name another-long-name yet-more"), look);
        field.resize(160, 20);
        field.show();
        QTRY_VERIFY(field.commandLabel()->height() >=
                    field.commandLabel()->heightForWidth(field.commandLabel()->width()));
        QVERIFY(field.commandLabel()->minimumHeight() >
                field.commandLabel()->fontMetrics().lineSpacing() * 2);
    }

    void refreshClearsItsStateWhenTheFutureEnds()
    {
        QObject context;
        QList<bool> states;
        QPromise<void> promise;
        PanelActions::refresh(
            &context, [&promise] { return promise.future(); },
            [&states](bool refreshing) { states.append(refreshing); });
        QCOMPARE(states, QList<bool>{true});
        promise.start();
        promise.finish();
        QTRY_COMPARE(states, (QList<bool>{true, false}));
    }

    void refreshOutlivedByItsFutureTouchesNothing()
    {
        QList<bool> states;
        QPromise<void> promise;
        {
            QObject context;
            PanelActions::refresh(
                &context, [&promise] { return promise.future(); },
                [&states](bool refreshing) { states.append(refreshing); });
        }
        promise.start();
        promise.finish();
        QCoreApplication::processEvents();
        QCOMPARE(states, QList<bool>{true});
    }

    void noRefreshActionDoesNothing()
    {
        QObject context;
        bool called = false;
        PanelActions::refresh(&context, {}, [&called](bool) { called = true; });
        QVERIFY(!called);
    }
};

QTEST_MAIN(TestDetailSharedParts)
#include "tst_detailsharedparts.moc"
