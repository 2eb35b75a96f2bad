#include "tst_sidebarworld.h"

#include "RenderToPng.h"
#include "ui/detail/UpdateProgressView.h"
#include "ui/main/components/Banner.h"
#include "ui/main/components/SystemColors.h"

#include <QLabel>
#include <QProgressBar>
#include <QTest>

using namespace norvelle;
using namespace norvelle::test;
using St = UpdateProgress::Status;

namespace {

UpdateProgress record(const ApplicationPtr& application, St status, double fraction,
                      std::optional<QDateTime> estimate = std::nullopt)
{
    UpdateProgress progress;
    progress.id = QUuid::createUuid();
    progress.application = application;
    progress.status = status;
    progress.progress = fraction;
    progress.currentStep = QStringLiteral("Fetching <b>figma</b>");
    progress.startTime = QDateTime::currentDateTime();
    progress.estimatedCompletion = estimate;
    return progress;
}

} // namespace

class TestDetailUpdateProgress : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void presentation_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<bool>("estimate");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QColor>("color");
        QTest::addColumn<bool>("spinner");
        QTest::addColumn<QString>("percentage"); // "-" when no bar shows
        QTest::addColumn<bool>("estimateShown");
        QTest::newRow("queued at 0") << int(St::queued) << 0.0 << false << "Update Queued" << SystemColors::secondary()
                                     << false << "-" << false;
        QTest::newRow("downloading half") << int(St::downloading) << 0.5 << true << "Downloading"
                                          << SystemColors::blue() << true << "50%" << true;
        QTest::newRow("installing, truncated") << int(St::installing) << 0.456 << false << "Installing"
                                               << SystemColors::purple() << true << "45%" << false;
        QTest::newRow("verifying at 1") << int(St::verifying) << 1.0 << true << "Verifying"
                                        << SystemColors::secondary() << true << "-" << false;
        QTest::newRow("completed") << int(St::completed) << 1.0 << false << "Completed" << SystemColors::green()
                                   << false << "-" << false;
        QTest::newRow("failed") << int(St::failed) << 0.0 << false << "Failed to Update" << SystemColors::red()
                                << false << "-" << false;
        QTest::newRow("cancelled partway") << int(St::cancelled) << 0.2 << false << "Cancelled"
                                           << SystemColors::gray() << false << "20%" << false;
    }
    void presentation()
    {
        QFETCH(int, status);
        QFETCH(double, fraction);
        QFETCH(bool, estimate);
        QFETCH(QString, title);
        QFETCH(QColor, color);
        QFETCH(bool, spinner);
        QFETCH(QString, percentage);
        QFETCH(bool, estimateShown);
        MainWindowTestWorld world;
        auto app = makeApp(QStringLiteral("Figma"));
        UpdateProgressView view(record(app, St(status), fraction,
                                       estimate ? std::optional(QDateTime::currentDateTime().addSecs(90))
                                                : std::nullopt),
                                {}, world.detail);
        auto shown = [&view](const char* name) {
            return view.findChild<QWidget*>(QString::fromLatin1(name))->isVisibleTo(&view);
        };
        QCOMPARE(view.findChild<QLabel*>("updateStatusTitle")->text(), title);
        QCOMPARE(view.findChild<QLabel*>("updateStatusTitle")->palette().color(QPalette::Text), color);
        QCOMPARE(view.findChild<Banner*>()->color(), color);
        QCOMPARE(view.findChild<QLabel*>("updateCurrentStep")->text(), QStringLiteral("Fetching <b>figma</b>"));
        QCOMPARE(view.findChild<QLabel*>("updateCurrentStep")->textFormat(), Qt::PlainText);
        QCOMPARE(shown("updateSpinner"), spinner);
        QCOMPARE(shown("updateProgressBox"), percentage != QLatin1String("-"));
        if (percentage != QLatin1String("-"))
            QCOMPARE(view.findChild<QLabel*>("updatePercentage")->text(), percentage);
        QCOMPARE(shown("updateEstimate"), estimateShown);
        if (estimateShown)
            QVERIFY(view.findChild<QLabel*>("updateEstimate")->text().startsWith(QStringLiteral("Est. in ")));
    }

    void commandNeedsACask()
    {
        auto app = makeApp(QStringLiteral("Figma"));
        QCOMPARE(UpdateProgressView::updateCommand(record(app, St::failed, 0)), QString());
        app->setCask(makeCask(QStringLiteral("figma")));
        QCOMPARE(UpdateProgressView::updateCommand(record(app, St::failed, 0)),
                 QStringLiteral("brew upgrade --cask figma"));
    }

    void renders()
    {
        MainWindowTestWorld world;
        auto app = makeApp(QStringLiteral("Figma"));
        UpdateProgressView view(record(app, St::downloading, 0.45, QDateTime::currentDateTime().addSecs(125)), {},
                                world.detail);
        QVERIFY(!renderToPng(&view, QStringLiteral("updateprogress"), QSize(560, 120)).isEmpty());
    }
};

QTEST_MAIN(TestDetailUpdateProgress)
#include "tst_detailupdateprogress.moc"
