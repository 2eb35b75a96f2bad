#include "ui/detail/PanelActions.h"
#include "ui/detail/ProgressBanner.h"
#include "ui/main/components/ClampedLabel.h"
#include "ui/main/components/CommandField.h"
#include "ui/main/components/PaletteFollower.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/SystemColors.h"

#include <QLabel>
#include <QProgressBar>
#include <QPromise>
#include <QTest>
#include <cmath>
#include <memory>

using namespace norvelle;

namespace {

const ProgressBanner::Names names{"banner", "title", "step",       "spinner",
                                  "box",    "bar",   "percentage", "estimate"};

} // namespace

class TestDetailSharedParts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bannerProgress_data()
    {
        QTest::addColumn<double>("fraction");
        QTest::addColumn<bool>("estimate");
        QTest::addColumn<int>("barValue");
        QTest::addColumn<QString>("percentage"); // empty: no bar, percentage or estimate
        QTest::newRow("nothing yet") << 0.0 << true << 0 << "";
        QTest::newRow("just started") << 0.001 << false << 1 << "0%";
        QTest::newRow("half, estimated") << 0.5 << true << 500 << "50%";
        QTest::newRow("truncated, not rounded") << 0.456 << false << 456 << "45%";
        QTest::newRow("almost") << 0.999 << true << 999 << "99%";
        QTest::newRow("done") << 1.0 << true << 1000 << "";
        QTest::newRow("below range") << -0.5 << false << 0 << "";
        QTest::newRow("above range") << 1.5 << true << 1000 << "";
        QTest::newRow("not a number") << std::nan("") << true << 0 << "";
    }
    void bannerProgress()
    {
        QFETCH(double, fraction);
        QFETCH(bool, estimate);
        QFETCH(int, barValue);
        QFETCH(QString, percentage);
        ProgressBanner banner(names, SystemColors::blue(), 32, nullptr);
        banner.showStatus(SystemColors::orange(), QStringLiteral("Working"), QStringLiteral("Step"), true);
        banner.showProgress(fraction, estimate ? std::optional(QDateTime::currentDateTime().addSecs(600))
                                               : std::nullopt);
        QCOMPARE(!banner.findChild<QWidget*>("box")->isHidden(), !percentage.isEmpty());
        auto* bar = banner.findChild<QProgressBar*>("bar");
        QCOMPARE(bar->value(), barValue);
        // The bar takes the colour of the latest status, not the one the banner was built with.
        QCOMPARE(bar->palette().color(QPalette::Highlight), SystemColors::orange());
        if (percentage.isEmpty())
            return;
        QCOMPARE(banner.findChild<QLabel*>("percentage")->text(), percentage);
        auto* estimateLabel = banner.findChild<QLabel*>("estimate");
        QCOMPARE(!estimateLabel->isHidden(), estimate);
        if (estimate)
            QVERIFY(estimateLabel->text().startsWith(QStringLiteral("Est. in ")));
    }

    // Lines are cut where the label wraps them; the tooltip holds the whole text once cut.
    void clampedLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxLines");
        QTest::addColumn<int>("lines"); // shown
        QTest::addColumn<bool>("cut");
        const QString sentence = QStringLiteral("Error: It seems there is already an App at '/Applications/Figma.app'.");
        QTest::newRow("one line") << QStringLiteral("Checking for changes") << 2 << 1 << false;
        QTest::newRow("three lines into two") << sentence << 2 << 2 << true;
        QTest::newRow("three lines into one") << sentence << 1 << 1 << true;
        QTest::newRow("own line feeds") << QStringLiteral("one\ntwo\nthree") << 2 << 2 << true;
        QTest::newRow("exactly two") << QStringLiteral("one\ntwo") << 2 << 2 << false;
        QTest::newRow("a word wider than the label") << QString(200, QLatin1Char('#')) << 2 << 2 << true;
    }
    void clampedLines()
    {
        QFETCH(QString, text);
        QFETCH(int, maxLines);
        QFETCH(int, lines);
        QFETCH(bool, cut);
        ClampedLabel label(maxLines);
        label.setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
        label.setFullText(text);
        label.resize(label.fontMetrics().horizontalAdvance(text.left(28)) + 8, 400);
        label.show();
        QCOMPARE(label.text().count(QLatin1Char('\n')) + label.text().count(QChar::LineSeparator) + 1, lines);
        QCOMPARE(label.isCut(), cut);
        QCOMPARE(label.toolTip(), cut ? text : QString());
        QCOMPARE(label.text().endsWith(QChar(0x2026)), cut);
        // It asks for the height of the lines it shows, and draws them from the top.
        QCOMPARE(label.heightForWidth(label.width()), label.fontMetrics().lineSpacing() * lines);
        QVERIFY(label.alignment() & Qt::AlignTop);
        QVERIFY(label.minimumSizeHint().width() < label.width()); // never widens the panel it is in
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
