// Every hand-over to the desktop that can fail (a command for a terminal window, an address for a
// browser or mail, the system's settings page) tells the user where they acted, with what to copy.

#include "OnboardingTestWorld.h"

#include "ui/app/ApplicationMenus.h"
#include "ui/detail/ApplicationMetadataItemView.h"
#include "ui/detail/ApplicationMetadataRowView.h"
#include "ui/detail/BrewAvailableView.h"
#include "ui/detail/BrewManualActionView.h"
#include "ui/detail/UpdateProgressView.h"
#include "ui/onboarding/EnvironmentPageView.h"
#include "ui/onboarding/InstallSourceView.h"
#include "ui/onboarding/InstallSourcesSheetView.h"
#include "ui/onboarding/ToolInstallCommands.h"
#include "ui/settings/PermissionsView.h"
#include "viewmodels/CheckForUpdatesViewModel.h"

#include <QAction>
#include <QClipboard>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

using namespace norvelle;
using namespace norvelle::test;

namespace {

QDialog* failureAlert()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(window);
            dialog && dialog->objectName() == QLatin1String("actionFailureAlert") && dialog->isVisible())
            return dialog;
    return nullptr;
}

// The command or address the alert offers; empty when it offers none.
QString offered(QWidget* alert)
{
    auto* text = alert->findChild<QTextEdit*>(QStringLiteral("actionFailureText"));
    return text ? text->toPlainText() : QString();
}

QPushButton* child(QWidget* root, const char* name)
{
    return root ? root->findChild<QPushButton*>(QLatin1String(name)) : nullptr;
}

ApplicationPtr passwordCask(const char* row)
{
    ApplicationPtr app = MainWindowTestWorld::app(QString::fromLatin1(row));
    Cask cask = *app->cask();
    cask.homepage =
        QUrl(QStringLiteral("https://figma.example/releases/latest/download/figma-desktop-linux-x86_64"));
    app->setCask(cask);
    return app;
}

} // namespace

class TestActionFailures : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        while (QDialog* alert = failureAlert())
            delete alert;
        QGuiApplication::clipboard()->clear();
    }

    // Every place that hands a command to a terminal window; the first also through its
    // confirmation, the others with the confirmation turned off for the run.
    void terminalRefusalOffersTheCommand_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("command");
        QTest::newRow("password update, after the confirmation") << "update"
                                                                 << "brew upgrade --cask figma";
        QTest::newRow("adoption fallback") << "adoption"
                                           << "brew install --cask --adopt figma";
        QTest::newRow("failed update panel") << "failed"
                                             << "brew upgrade --cask figma";
        QTest::newRow("install-sources sheet") << "sheet" << ToolInstallCommands::masCommand();
        QTest::newRow("welcome tour") << "tour" << ToolInstallCommands::brewCommand();
    }
    void terminalRefusalOffersTheCommand()
    {
        QFETCH(QString, place);
        QFETCH(QString, command);
        OnboardingTestWorld world;
        const QString reason = QStringLiteral("No terminal emulator was found. Install xterm.");
        world.launcher->setResult(TerminalLauncher::Result::refused(reason));
        world.detail.setSuppressTerminalAlert(place != QLatin1String("update"));

        std::unique_ptr<QWidget> view;
        QPushButton* run = nullptr;
        if (place == QLatin1String("update") || place == QLatin1String("adoption")) {
            const auto type = place == QLatin1String("update") ? DetailViewModel::ActionType::update
                                                               : DetailViewModel::ActionType::adoption;
            view = std::make_unique<BrewManualActionView>(passwordCask("Figma*+$"), type,
                                                          std::function<QFuture<void>()>(), world.detail);
            run = child(view.get(), "manualRunButton");
        } else if (place == QLatin1String("failed")) {
            UpdateProgress failed;
            failed.id = QUuid::createUuid();
            failed.application = passwordCask("Figma*$");
            failed.status = UpdateProgress::Status::failed;
            view =
                std::make_unique<UpdateProgressView>(failed, std::function<QFuture<void>()>(), world.detail);
            run = child(view.get(), "terminalRunButton");
        } else if (place == QLatin1String("sheet")) {
            view = std::make_unique<InstallSourcesSheetView>(false, true, world.sidebar, world.detail,
                                                             world.store, nullptr, &world.clipboard);
            run = view->findChild<InstallSourceView*>("masInstallEntry")->openTerminalButton();
        } else {
            view = std::make_unique<EnvironmentPageView>(
                tools(false, false), ToolInstallCommands::brewCommand(), ToolInstallCommands::masCommand(),
                world.detail, nullptr, &world.clipboard);
            run = view->findChild<InstallSourceView*>("brewInstallEntry")->openTerminalButton();
        }
        view->show();
        QVERIFY(run && run->isEnabled());
        run->click();
        if (place == QLatin1String("update")) {
            QVERIFY(!failureAlert()); // nothing is tried before the user agrees
            QMessageBox* confirmation = qobject_cast<BrewManualActionView*>(view.get())->terminalAlert();
            child(confirmation, "terminalAlertOpen")->click();
        }
        QCOMPARE(world.launcher->commandLines(), QStringList{command});

        QPointer<QDialog> alert = failureAlert();
        QVERIFY(alert);
        QVERIFY(alert->isModal());
        QCOMPARE(labelText(alert, "actionFailureTitle"), QStringLiteral("Terminal Could Not Be Opened"));
        QVERIFY(labelText(alert, "actionFailureMessage").startsWith(reason));
        QCOMPARE(offered(alert), command);
        renderBothThemes(alert, QStringLiteral("actionfailure-terminal-") + place, {});

        child(alert, "actionFailureCopy")->click();
        // The screens with a clipboard of their own use it; the detail pane the system's.
        const QString copied = world.clipboard.copied.value(0, QGuiApplication::clipboard()->text());
        QCOMPARE(copied, command);
        QCOMPARE(child(alert, "actionFailureCopy")->text(), QStringLiteral("Copied!"));
        child(alert, "actionFailureOk")->click();
        QTRY_VERIFY(!alert);
    }

    // Every place that opens an address: what the alert says and offers to copy, whether the
    // opener refuses the address at once or takes it and fails later (a system opener that
    // started and then exited with failure).
    void linkRefusalOffersTheAddress_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("copyText");
        QTest::addColumn<bool>("failsLater");
        const QString link = QStringLiteral("Link Could Not Be Opened");
        const QString homepage =
            QStringLiteral("https://figma.example/releases/latest/download/figma-desktop-linux-x86_64");
        QTest::newRow("homepage cell") << "cell" << link << homepage << false;
        QTest::newRow("cask homepage") << "cask" << link << homepage << false;
        QTest::newRow("learn more") << "learnMore" << link << "https://github.com/mas-cli/mas" << false;
        QTest::newRow("help: report an issue")
            << "actionReportIssue" << link << "https://norvelle.app/issues/new" << false;
        QTest::newRow("help: contact support") << "actionContactSupport"
                                               << "Mail Could Not Be Opened"
                                               << "support@norvelle.app" << false;
        QTest::newRow("permissions settings") << "settings"
                                              << "No Settings Page for App Management"
                                              << "" << false;
        QTest::newRow("homepage cell, opener fails later") << "cell" << link << homepage << true;
        QTest::newRow("cask homepage, opener fails later") << "cask" << link << homepage << true;
        QTest::newRow("learn more, opener fails later")
            << "learnMore" << link << "https://github.com/mas-cli/mas" << true;
        QTest::newRow("help: report an issue, opener fails later")
            << "actionReportIssue" << link << "https://norvelle.app/issues/new" << true;
        if (!AppState::systemHasAppManagementSettings)
            QTest::newRow("permissions settings, never handed to an opener")
                << "settings"
                << "No Settings Page for App Management"
                << "" << true;
    }
    void linkRefusalOffersTheAddress()
    {
        QFETCH(QString, place);
        QFETCH(QString, title);
        QFETCH(QString, copyText);
        QFETCH(bool, failsLater);
        OnboardingTestWorld world;
        world.urlOpener->setAccepts(failsLater);
        world.urlOpener->setFailsLater(failsLater);
        AppState appState(world.settings.store(), world.urlOpener);
        CheckForUpdatesViewModel checkForUpdates(nullptr);

        std::unique_ptr<QWidget> view;
        std::unique_ptr<ApplicationMenus> menus;
        const ApplicationPtr app = passwordCask("Figma+");
        if (place == QLatin1String("cell")) {
            view = std::make_unique<ApplicationMetadataRowView>(app, QDateTime::currentDateTime(),
                                                                world.urlOpener.get());
            for (auto* cell : view->findChildren<ApplicationMetadataItemView*>())
                if (cell->value() == QLatin1String("figma.example"))
                    cell->activate();
        } else if (place == QLatin1String("cask")) {
            view = std::make_unique<BrewAvailableView>(
                app, BrewAvailableView::Inputs{}, [] {}, [] { return QtFuture::makeReadyFuture(); },
                world.appState, world.settingsViewModel, world.detail, world.urlOpener.get());
            child(view.get(), "caskHomepage")->click();
        } else if (place == QLatin1String("learnMore")) {
            view = std::make_unique<EnvironmentPageView>(
                tools(true, false), ToolInstallCommands::brewCommand(), ToolInstallCommands::masCommand(),
                world.detail, world.urlOpener.get(), &world.clipboard);
            view->findChild<InstallSourceView*>("masInstallEntry")->learnMoreButton()->click();
        } else if (place == QLatin1String("settings")) {
            view = std::make_unique<PermissionsView>(appState);
            child(view.get(), "openAppManagementSettingsButton")->click();
        } else {
            auto* window = new QMainWindow;
            view.reset(window);
            menus = std::make_unique<ApplicationMenus>(window->menuBar(), world.sidebar, world.appState,
                                                       checkForUpdates, world.urlOpener);
            window->findChild<QAction*>(place)->trigger();
        }
        const bool asked = place != QLatin1String("settings") || AppState::systemHasAppManagementSettings;
        QCOMPARE(world.urlOpener->opened().size(), asked ? 1 : 0);

        QTRY_VERIFY(failureAlert());
        QDialog* alert = failureAlert();
        QCOMPARE(labelText(alert, "actionFailureTitle"), title);
        QCOMPARE(offered(alert), copyText);
        QCOMPARE(child(alert, "actionFailureCopy") != nullptr, !copyText.isEmpty());
        if (!copyText.isEmpty()) {
            child(alert, "actionFailureCopy")->click();
            QCOMPARE(world.clipboard.copied.value(0, QGuiApplication::clipboard()->text()), copyText);
        }
        if (!failsLater)
            renderBothThemes(alert, QStringLiteral("actionfailure-link-") + place, {});
    }
};

QTEST_MAIN(TestActionFailures)
#include "tst_actionfailures.moc"
