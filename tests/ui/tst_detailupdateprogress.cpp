#include "tst_sidebarworld.h"

#include "PanelLook.h"
#include "RenderToPng.h"
#include "ui/detail/AdoptionProgressView.h"
#include "ui/detail/BrewCommandView.h"
#include "ui/detail/UpdateProgressView.h"
#include "ui/main/components/Banner.h"
#include "ui/main/components/SystemColors.h"
#include "ui/settings/SettingsAppearance.h"

#include <QApplication>
#include <QMessageBox>
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
    progress.currentStep = longText();
    progress.startTime = QDateTime::currentDateTime();
    progress.estimatedCompletion = estimate;
    progress.brewOutput = {QStringLiteral("==> Upgrading figma")};
    return progress;
}

} // namespace

class TestDetailUpdateProgress : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void whatTheUserSees_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("cask");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QColor>("color");
        QTest::addColumn<bool>("spinner");
        QTest::addColumn<QString>("buttons"); // of the command box; "*" marks the default
        const QString none = QStringLiteral("-");
        QTest::newRow("queued") << int(St::queued) << true << "Update Queued" << SystemColors::secondary() << false
                                << none;
        QTest::newRow("downloading") << int(St::downloading) << true << "Downloading" << SystemColors::blue()
                                     << true << none;
        QTest::newRow("installing") << int(St::installing) << true << "Installing" << SystemColors::purple()
                                    << true << none;
        QTest::newRow("verifying") << int(St::verifying) << true << "Verifying" << SystemColors::secondary()
                                   << true << none;
        QTest::newRow("completed") << int(St::completed) << true << "Completed" << SystemColors::green() << false
                                   << none;
        QTest::newRow("failed, no cask") << int(St::failed) << false << "Failed to Update" << SystemColors::red()
                                         << false << none;
        QTest::newRow("failed with a cask") << int(St::failed) << true << "Failed to Update" << SystemColors::red()
                                            << false << "Refresh|View Logs|*Update";
        QTest::newRow("cancelled") << int(St::cancelled) << true << "Cancelled" << SystemColors::gray() << false
                                   << none;
    }
    void whatTheUserSees()
    {
        QFETCH(int, status);
        QFETCH(bool, cask);
        QFETCH(QString, title);
        QFETCH(QColor, color);
        QFETCH(bool, spinner);
        QFETCH(QString, buttons);
        MainWindowTestWorld world;
        auto app = makeApp(QStringLiteral("Figma"));
        if (cask)
            app->setCask(makeCask(QStringLiteral("figma")));
        UpdateProgressView view(
            record(app, St(status), 0.5), [] { return QtFuture::makeReadyFuture(); }, world.detail);
        QCOMPARE(labelText(&view, "updateStatusTitle"), title);
        QCOMPARE(labelColor(&view, "updateStatusTitle"), color);
        QCOMPARE(view.findChild<Banner*>()->color(), color);
        QCOMPARE(view.findChild<QWidget*>("updateSpinner")->isVisibleTo(&view), spinner);
        QCOMPARE(view.commandBox() ? buttonRow(view.commandBox()) : QStringLiteral("-"), buttons);
        QCOMPARE(cutOf(&view, "updateCurrentStep"), QStringLiteral("2 lines, tooltip"));
        if (!view.commandBox())
            return;
        view.commandBox()->findChild<QPushButton*>("terminalRunButton")->click();
        QCOMPARE(view.terminalAlert()->text(), QStringLiteral("Update App via Terminal?"));
        QCOMPARE(view.terminalAlert()->informativeText(),
                 QStringLiteral("This will open Terminal and run the update command. You'll need to enter your "
                                "password to complete the update."));
    }

    // For a look at the banners with a long step, in both themes.
    void renders()
    {
        MainWindowTestWorld world;
        auto app = makeApp(QStringLiteral("Figma"));
        app->setCask(makeCask(QStringLiteral("figma")));
        UpdateProgressView update(record(app, St::downloading, 0.45, QDateTime::currentDateTime().addSecs(125)), {},
                                  world.detail);
        UpdateProgressView failed(record(app, St::failed, 0), {}, world.detail);
        AdoptionProgress adoption{QUuid::createUuid(), app,          AdoptionProgress::Status::failed, 0, longText(),
                                  QDateTime::currentDateTime(), std::nullopt};
        AdoptionProgressView adopting(adoption, [] { return QtFuture::makeReadyFuture(); });
        const QPalette original = QApplication::palette();
        for (const Theme theme : {Theme::light, Theme::dark}) {
            QApplication::setPalette(SettingsAppearance::palette(theme));
            QCoreApplication::processEvents();
            const QString suffix = theme == Theme::dark ? QStringLiteral("-dark") : QStringLiteral("-light");
            QVERIFY(!renderToPng(&update, QStringLiteral("updateprogress") + suffix, QSize(560, 130)).isEmpty());
            QVERIFY(!renderToPng(&failed, QStringLiteral("updateprogress-failed") + suffix, QSize(560, 230)).isEmpty());
            QVERIFY(!renderToPng(&adopting, QStringLiteral("adoptionprogress-failed") + suffix, QSize(560, 230))
                         .isEmpty());
        }
        QApplication::setPalette(original);
    }
};

QTEST_MAIN(TestDetailUpdateProgress)
#include "tst_detailupdateprogress.moc"
