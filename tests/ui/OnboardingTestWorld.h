#pragma once

// The onboarding screens over the main window's test world: the tour's view model on the fake
// environment check, a terminal that records what it is handed, and a clipboard and URL opener
// that record what they get.

#include "FakeTerminalLauncher.h"
#include "FakeUrlOpener.h"
#include "PanelLook.h"
#include "RenderToPng.h"
#include "tst_sidebarworld.h"
#include "ui/main/MainWindow.h"
#include "ui/platform/Clipboard.h"
#include "viewmodels/TerminalCommands.h"
#include "viewmodels/WelcomeTourViewModel.h"

#include <QLabel>

namespace norvelle::test {

class RecordingClipboard : public Clipboard {
public:
    void copyText(const QString& text) override { copied.append(text); }
    void copyToSelection(const QString& text) override { selected.append(text); }
    QStringList copied;
    QStringList selected;
};

inline EnvironmentStatus tools(bool brew, bool mas)
{
    return EnvironmentStatus{brew, mas, true, brew ? std::optional(QStringLiteral("/usr/local/bin/brew")) : std::nullopt};
}

struct OnboardingTestWorld : MainWindowTestWorld {
    OnboardingTestWorld() { detail.useTerminalCommands(terminal); }

    ViewEnvironment onboardingEnvironment()
    {
        ViewEnvironment env = viewEnvironment();
        env.welcomeTourViewModel = &tour;
        env.urlOpener = urlOpener.get();
        env.clipboard = &clipboard;
        return env;
    }

    std::shared_ptr<FakeTerminalLauncher> launcher = std::make_shared<FakeTerminalLauncher>();
    TerminalCommands terminal{Paths::defaults(), launcher, QProcessEnvironment(),
                              TerminalCommandTiming{std::chrono::milliseconds(0), std::chrono::milliseconds(0),
                                                    std::chrono::milliseconds(1000)}};
    WelcomeTourViewModel tour{environment, appState};
    std::shared_ptr<FakeUrlOpener> urlOpener = std::make_shared<FakeUrlOpener>();
    RecordingClipboard clipboard;
};

inline QStringList labelTexts(QWidget* root, const char* objectName)
{
    QStringList texts;
    for (auto* label : root->findChildren<QLabel*>(QString::fromLatin1(objectName)))
        texts.append(label->text());
    return texts;
}

} // namespace norvelle::test
