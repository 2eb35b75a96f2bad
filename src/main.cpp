#include "app/DependencyContainer.h"
#include "platform/Paths.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MenuBarController.h"
#include "ui/update_sheet/UpdateSheetPresenter.h"
#include "ui/platform/DesktopUrlOpener.h"
#include "ui/settings/SettingsAppearance.h"
#include "util/AllocatorTuning.h"
#include "util/Logger.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    norvelle::allocator::limitArenas();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norvelle"));
    QApplication::setOrganizationName(QStringLiteral("Norvelle"));
    QApplication::setApplicationVersion(QStringLiteral(NORVELLE_VERSION));

    QStringList pathProblems;
    norvelle::DependencyContainer::Options options;
    options.paths = norvelle::Paths::fromEnvironment(QProcessEnvironment::systemEnvironment(), &pathProblems);
    options.urlOpener = std::make_shared<norvelle::DesktopUrlOpener>();
    options.darkAppearance = [] { return norvelle::SettingsAppearance::applicationIsDark(); };

    norvelle::Logger::setPaths(options.paths);
    norvelle::DependencyContainer container(std::move(options));
    norvelle::Logger::setSettings(&container.settings());
    for (const QString& problem : pathProblems)
        norvelle::Logger::warning(problem);

    norvelle::MainWindow window(norvelle::ViewEnvironment{
        container.appState(), container.store(), container.contentViewModel(), container.sidebarViewModel(),
        container.detailViewModel(), container.settingsViewModel(), container.settings()});
    window.show();
    norvelle::UpdateSheetPresenter updateSheet(container.sidebarViewModel(), container.detailViewModel(),
                                               container.store(), &window);

    norvelle::MenuBarController menuBar(container.store(), container.sidebarViewModel(), container.detailViewModel(),
                                        container.appState());
    QObject::connect(&menuBar, &norvelle::MenuBarController::activateApplicationRequested, &window, [&window] {
        window.show();
        window.raise();
        window.activateWindow();
    });
    QObject::connect(&menuBar, &norvelle::MenuBarController::quitRequested, &app, &QApplication::quit);

    norvelle::Logger::info(QStringLiteral("Norvelle started"));
    const int status = app.exec();
    norvelle::Logger::setSettings(nullptr);
    return status;
}
