#include "ui/detail/PanelActions.h"
#include "ui/detail/ProgressBanner.h"
#include "ui/main/components/CommandField.h"
#include "ui/main/components/PaletteFollower.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/SystemColors.h"

#include <QLabel>
#include <QProgressBar>
#include <QPromise>
#include <QTest>
#include <memory>

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
        banner.showStatus(SystemColors::red(), QStringLiteral("Failed <b>x</b>"), QStringLiteral("Gone"),
                          false);
        QCOMPARE(banner.color(), SystemColors::red());
        auto* title = banner.findChild<QLabel*>("title");
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

    void paletteFollowerRunsOncePerChange_data()
    {
        QTest::addColumn<bool>("newParent");
        QTest::addColumn<bool>("setsItsOwnPalette");
        QTest::newRow("own palette") << false << false;
        QTest::newRow("new parent") << true << false;
        QTest::newRow("follower sets the palette itself") << false << true;
    }
    void paletteFollowerRunsOncePerChange()
    {
        QFETCH(bool, newParent);
        QFETCH(bool, setsItsOwnPalette);
        QWidget parent;
        QWidget widget;
        int runs = 0;
        PaletteFollower::follow(&widget, [&] {
            ++runs;
            if (setsItsOwnPalette) {
                QPalette palette = widget.palette();
                palette.setColor(QPalette::WindowText, QColor(runs, 0, 0));
                widget.setPalette(palette);
            }
        });
        QCOMPARE(runs, 1);
        if (newParent)
            widget.setParent(&parent);
        else
            widget.setPalette(QPalette(Qt::darkBlue));
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

    void commandFieldWrappedLineKeepsAllItsLines()
    {
        CommandField::Look look;
        look.pointSize = 11;
        look.selection = Qt::TextSelectableByMouse;
        look.iconSize = QSize(16, 16);
        CommandField field(
            QStringLiteral("brew install --cask a-rather-long-name another-long-name yet-more"), look);
        field.resize(160, 20);
        field.show();
        QLabel* label = field.commandLabel();
        QTRY_VERIFY(label->height() >= label->heightForWidth(label->width()));
        QVERIFY(label->minimumHeight() > label->fontMetrics().lineSpacing() * 2);
    }

    void refreshStates_data()
    {
        QTest::addColumn<bool>("hasAction");
        QTest::addColumn<bool>("contextOutlivesFuture");
        QTest::addColumn<QList<bool>>("states");
        QTest::newRow("cleared when the future ends") << true << true << QList<bool>{true, false};
        QTest::newRow("outlived by its future") << true << false << QList<bool>{true};
        QTest::newRow("no refresh action") << false << true << QList<bool>{};
    }
    void refreshStates()
    {
        QFETCH(bool, hasAction);
        QFETCH(bool, contextOutlivesFuture);
        QFETCH(QList<bool>, states);
        QList<bool> seen;
        QPromise<void> promise;
        auto context = std::make_unique<QObject>();
        std::function<QFuture<void>()> action;
        if (hasAction)
            action = [&promise] { return promise.future(); };
        PanelActions::refresh(context.get(), action, [&seen](bool refreshing) { seen.append(refreshing); });
        if (!contextOutlivesFuture)
            context.reset();
        promise.start();
        promise.finish();
        QCoreApplication::processEvents();
        QTRY_COMPARE(seen, states);
    }
};

QTEST_MAIN(TestDetailSharedParts)
#include "tst_detailsharedparts.moc"
