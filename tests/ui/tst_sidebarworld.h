#pragma once

// The main window's objects over the view models' test world: a recording coordinator on fake
// services, temporary settings, and the content and settings view models the window reads.

#include "../viewmodels/ViewModelTestWorld.h"
#include "ui/main/ViewEnvironment.h"
#include "viewmodels/ContentViewModel.h"
#include "viewmodels/SettingsViewModel.h"

namespace norvelle::test {

struct MainWindowTestWorld : ViewModelTestWorld {
    ViewEnvironment viewEnvironment()
    {
        return ViewEnvironment{appState, store, content, sidebar, detail, settingsViewModel, settings.store()};
    }

    // "Name" plain; "*" gives it an update, "!" ignores it, "$" a cask that needs a password,
    // "+" an adoptable cask (suffixes in any order at the end).
    static ApplicationPtr app(QString spec, QList<Application::Source> source = {Application::Source::homebrew})
    {
        bool update = false, ignored = false, sudo = false, adoptable = false;
        while (!spec.isEmpty() && QStringLiteral("*!$+").contains(spec.back())) {
            const QChar c = spec.back();
            spec.chop(1);
            update |= c == QLatin1Char('*');
            ignored |= c == QLatin1Char('!');
            sudo |= c == QLatin1Char('$');
            adoptable |= c == QLatin1Char('+');
        }
        auto application = makeApp(spec, update ? std::optional(makeUpdate(QStringLiteral("2.0"))) : std::nullopt,
                                   std::move(source));
        application->setIgnored(ignored);
        if (sudo || adoptable) {
            Cask cask = makeCask(spec.toLower(), adoptable);
            cask.requiresSudo = sudo;
            application->setCask(cask);
        }
        return application;
    }

    ContentViewModel content{store};
    SettingsViewModel settingsViewModel{settings.store()};
};

inline QStringList rowNames(const QAbstractItemModel& model)
{
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row)
        names.append(model.index(row, 0).data().toString());
    return names;
}

} // namespace norvelle::test
