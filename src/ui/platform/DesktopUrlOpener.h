#pragma once

#include "platform/UrlOpener.h"

#include <QString>
#include <chrono>
#include <memory>

class QObject;

namespace norvelle {

// Opens URLs through the desktop's handlers (QDesktopServices). Where links go through a
// system opener program (xdg-open), that program is run here and its exit status is the
// answer, since the desktop services count an opener that started as a link that opened.
class DesktopUrlOpener : public UrlOpener {
public:
    // An opener still running after `handOverWait` has handed the link to a program that runs in
    // its place (a browser started in the foreground): the link counts as opened.
    explicit DesktopUrlOpener(QString systemOpener = QStringLiteral("xdg-open"),
                              std::chrono::milliseconds handOverWait = std::chrono::seconds(10));
    ~DesktopUrlOpener() override;

    bool openUrl(const QUrl& url) override;
#if !defined(Q_OS_MACOS) && !defined(Q_OS_WIN)
    void openLink(const QUrl& url, QObject* context, Outcome done) override;
#endif

private:
    [[maybe_unused]] QString m_systemOpener; // unused where the desktop services answer
    [[maybe_unused]] std::chrono::milliseconds m_handOverWait;
    // Parent of the opener runs still going; a run ends on its own time, even after its caller.
    std::unique_ptr<QObject> m_runs;
};

} // namespace norvelle
