// Times the batch-update sheet under a storm of progress reports: a 200-application batch whose
// first update is held while a worker thread reports, for every application, a queue of brew
// output lines (some holding "error" or "complete"), then its outcome. Prints the main thread's
// time per report and the longest single event (the longest stall the user would feel), then
// the same for the end of the batch, when the results are drawn.
//
//     bench_sheet [application count] [reports per application]

#include "../tests/ui/tst_sidebarworld.h"
#include "ui/update_sheet/ProcessingView.h"
#include "ui/update_sheet/UpdateBatchSession.h"
#include "ui/update_sheet/UpdateSheetView.h"
#include "viewmodels/SidebarViewModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>

using namespace norvelle;
using namespace norvelle::test;

namespace {

// Times every event the main thread handles from the outside in.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        QElapsedTimer timer;
        timer.start();
        const bool handled = QApplication::notify(receiver, event);
        const qint64 ns = timer.nsecsElapsed();
        --m_depth;
        m_busyNs += ns;
        m_longestNs = std::max(m_longestNs, ns);
        return handled;
    }

    void reset()
    {
        m_busyNs = 0;
        m_longestNs = 0;
    }
    double busyMs() const { return double(m_busyNs) / 1e6; }
    double longestMs() const { return double(m_longestNs) / 1e6; }

private:
    int m_depth = 0;
    qint64 m_busyNs = 0;
    qint64 m_longestNs = 0;
};

UpdateProgress report(const ApplicationPtr& app, UpdateProgress::Status status, double fraction, const QString& line,
                      const QStringList& output)
{
    UpdateProgress progress;
    progress.id = QUuid::createUuid();
    progress.application = app;
    progress.status = status;
    progress.progress = fraction;
    progress.currentStep = line;
    progress.brewOutput = output;
    return progress;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 200;
    const int perApp = argc > 2 ? std::max(2, QString::fromLocal8Bit(argv[2]).toInt()) : 40;

    MainWindowTestWorld world;
    ApplicationList batch;
    for (int i = 0; i < count; ++i)
        batch.append(MainWindowTestWorld::app(QStringLiteral("App %1*").arg(i, 3, 10, QLatin1Char('0'))));
    world.store.setApplications(batch);
    world.store.setSelectedApplicationId(batch.at(count / 2)->id());
    auto gate = world.gate();
    world.updates->setUpdateGate(batch.at(0)->bundleIdentifier(), gate);

    QElapsedTimer opening;
    opening.start();
    UpdateSheetView sheet(batch, {}, world.sidebar, world.detail, world.store);
    sheet.show();
    QCoreApplication::processEvents();
    std::printf("sheet with %d applications opened in %.1f ms\n", count, double(opening.nsecsElapsed()) / 1e6);

    opening.restart();
    sheet.startUpdates();
    while (gate->arrivals() < 1)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();
    std::printf("processing phase shown in %.1f ms\n", double(opening.nsecsElapsed()) / 1e6);

    std::atomic<int> handled{0};
    auto handler = [&sheet, &handled](int index, const UpdateProgress& progress) {
        sheet.handleProgress(index, progress);
        handled.fetch_add(1, std::memory_order_relaxed);
    };
    const int total = count * perApp;
    app.reset();
    QElapsedTimer wall;
    wall.start();
    QThread* storm = QThread::create([&] {
        const QString bar = QString(120, QLatin1Char('#'));
        for (int i = 0; i < count; ++i) {
            const ApplicationPtr& target = batch.at(i);
            QStringList output;
            forwardProgressToMainActor(report(target, UpdateProgress::Status::queued, 0.0,
                                              QStringLiteral("Starting update... (this may take a moment)"), {}),
                                       batch, handler);
            for (int j = 1; j < perApp - 1; ++j) {
                QString line = j % 7 == 0   ? QStringLiteral("Error: retrying download")
                               : j % 5 == 0 ? QStringLiteral("==> Download complete")
                                            : bar + QStringLiteral(" %1%").arg(100.0 * j / perApp, 0, 'f', 1);
                output.append(line);
                const auto status = j % 7 == 0   ? UpdateProgress::Status::failed
                                    : j % 5 == 0 ? UpdateProgress::Status::completed
                                                 : UpdateProgress::Status::downloading;
                forwardProgressToMainActor(report(target, status, double(j) / perApp, line, output), batch, handler);
            }
            forwardProgressToMainActor(report(target, i % 10 == 3 ? UpdateProgress::Status::failed
                                                                  : UpdateProgress::Status::completed,
                                              1.0, QStringLiteral("Update completed successfully"), {}),
                                       batch, handler);
        }
    });
    storm->start();
    while (handled.load() < total)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();
    storm->wait();
    delete storm;

    const double perReportUs = app.busyMs() * 1000.0 / total;
    std::printf("report storm: %d reports in %.1f ms wall; main thread busy %.1f ms, %.1f us per report, "
                "longest stall %.2f ms\n",
                total, double(wall.nsecsElapsed()) / 1e6, app.busyMs(), perReportUs, app.longestMs());
    std::printf("overall progress after the storm: %s (never above 100%%: %s)\n",
                qPrintable(ProcessingView::percentText(sheet.overallProgress())),
                sheet.overallProgress() <= 1.0 ? "yes" : "NO");

    app.reset();
    wall.restart();
    gate->open();
    while (sheet.phase() != UpdateSheetView::Phase::complete)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();
    std::printf("batch of %d ran to its end in %.1f ms; main thread busy %.1f ms, longest stall %.2f ms "
                "(results drawn)\n",
                count, double(wall.nsecsElapsed()) / 1e6, app.busyMs(), app.longestMs());
    const bool goal = perReportUs < 1000.0;
    std::printf("goal (under 1 ms per report): %s\n", goal ? "met" : "missed");
    return 0;
}
