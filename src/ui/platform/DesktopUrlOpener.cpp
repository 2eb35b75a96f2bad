#include "ui/platform/DesktopUrlOpener.h"

#include "platform/Logger.h"

#include <QDesktopServices>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <utility>

#if !defined(Q_OS_MACOS) && !defined(Q_OS_WIN)
#include <unistd.h>
#endif

namespace norvelle {

DesktopUrlOpener::DesktopUrlOpener(QString systemOpener, std::chrono::milliseconds handOverWait)
    : m_systemOpener(std::move(systemOpener)), m_handOverWait(handOverWait),
      m_runs(std::make_unique<QObject>())
{
}

DesktopUrlOpener::~DesktopUrlOpener() = default;

bool DesktopUrlOpener::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

#if !defined(Q_OS_MACOS) && !defined(Q_OS_WIN)
void DesktopUrlOpener::openLink(const QUrl& url, QObject* context, Outcome done)
{
    const QString program = QStandardPaths::findExecutable(m_systemOpener);
    if (program.isEmpty()) {
        // Without the opener the desktop services look for a browser themselves.
        UrlOpener::openLink(url, context, std::move(done));
        return;
    }

    auto* run = new QProcess(m_runs.get());
    run->setProgram(program);
    run->setArguments({url.toString(QUrl::FullyEncoded)});
    // The browser it may start inherits these: no pipe back to us, no terminal of ours.
    run->setStandardInputFile(QProcess::nullDevice());
    run->setStandardOutputFile(QProcess::nullDevice());
    run->setStandardErrorFile(QProcess::nullDevice());
    run->setChildProcessModifier([] { ::setsid(); });

    // Answered once: by the exit, by a failed start, or by the wait running out.
    auto answer = std::make_shared<Outcome>(std::move(done));
    QPointer<QObject> caller(context);
    const QString address = url.toString(QUrl::FullyEncoded);
    auto report = [answer, caller, address, program](bool opened, const QString& why) {
        if (!*answer)
            return;
        const Outcome outcome = std::exchange(*answer, Outcome());
        if (!opened)
            Logger::warning(program + QStringLiteral(" did not open ") + address + QStringLiteral(": ") +
                            why);
        if (caller)
            outcome(opened);
    };
    QObject::connect(run, &QProcess::finished, run, [run, report](int exitCode, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit)
            report(false, QStringLiteral("it crashed"));
        else
            report(exitCode == 0, QStringLiteral("exit status %1").arg(exitCode));
        run->deleteLater();
    });
    QObject::connect(run, &QProcess::errorOccurred, run, [run, report](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        report(false, run->errorString());
        run->deleteLater();
    });
    QTimer::singleShot(m_handOverWait, run, [report] { report(true, {}); });
    run->start();
}
#endif

} // namespace norvelle
