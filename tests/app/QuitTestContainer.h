#pragma once

#include "FakeDockBadge.h"
#include "FakeNetworkProbe.h"
#include "FakeTerminalLauncher.h"
#include "SyntheticWorld.h"

#include "app/DependencyContainer.h"
#include "coordinator/AppState.h"

#include <QTemporaryDir>
#include <memory>

namespace norvelle::test {

// The whole application over a synthetic world, allowed to update, as the quit tests need it.
inline std::unique_ptr<DependencyContainer> makeQuitTestContainer(const SyntheticWorld& world,
                                                                  const QTemporaryDir& settingsFolder,
                                                                  const QString& caFile = {})
{
    DependencyContainer::Options options;
    options.paths = world.paths();
    if (!caFile.isEmpty())
        options.paths.caFile = caFile;
    options.settingsFile = settingsFolder.filePath(QStringLiteral("settings.ini"));
    options.dockBadge = std::make_shared<FakeDockBadge>();
    options.networkProbe = std::make_shared<FakeNetworkProbe>(FakeNetworkProbe::Mode::up);
    options.terminalLauncher = std::make_shared<FakeTerminalLauncher>();
    auto container = std::make_unique<DependencyContainer>(options);
    container->appState().setHasAppManagementPermission(true);
    return container;
}

} // namespace norvelle::test
