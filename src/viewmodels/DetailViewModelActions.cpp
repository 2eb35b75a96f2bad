#include "viewmodels/DetailViewModel.h"

#include "viewmodels/TerminalCommands.h"

#include "coordinator/AppCoordinator.h"
#include "services/ApplicationStore.h"
#include "util/Async.h"
#include "viewmodels/ViewModelActions.h"

#include <QCoreApplication>
#include <QPointer>
#include <QUuid>

namespace norvelle {

using namespace std::chrono_literals;

QFuture<void> DetailViewModel::afterPause(std::chrono::milliseconds duration, std::function<void()> then)
{
    // The pause can outlive this view model (its owner goes while a banner still shows). Qt 6.4
    // asserts when a continuation's context dies before its future ends, so the continuation runs
    // on the application object and reaches this one through a guard.
    QObject* const context = QCoreApplication::instance();
    auto guarded = [guard = QPointer<DetailViewModel>(this), then = std::move(then)] {
        if (guard)
            then();
    };
    return m_pause(duration).then(context, guarded).onCanceled(context, guarded);
}

void DetailViewModel::storeFailedUpdate(const ApplicationPtr& application, const QString& step)
{
    UpdateProgress failed;
    failed.id = QUuid::createUuid();
    failed.application = application;
    failed.status = UpdateProgress::Status::failed;
    failed.progress = 0.0;
    failed.currentStep = step;
    failed.startTime = now();
    if (m_updateProgress)
        failed.brewOutput = m_updateProgress->brewOutput;
    setUpdateProgress(failed);
}

QFuture<void> DetailViewModel::updateApplication()
{
    const ApplicationPtr application = m_store.selectedApplication();
    if (!application)
        return finishedAction();
    setIsUpdating(true);
    setUpdateProgress(std::nullopt);

    // Reports come from the coordinator's and the tools' threads: each is stored on the main
    // thread, in the order reported, before the outcome below is handled.
    AppCoordinator::UpdateProgressHandler handler =
        [self = QPointer<DetailViewModel>(this)](const UpdateProgress& value) {
            postToMain([self, value] {
                if (self)
                    self->setUpdateProgress(value);
            });
        };
    AppCoordinator* coordinator = &m_coordinator;
    return runForMainThread([coordinator, application, handler] {
               return coordinator->updateApplication(application, handler);
           })
        .then(this,
              [this, application](QFuture<Update::Result> done) {
                  if (const std::exception_ptr error = failureOf(done)) {
                      storeFailedUpdate(application,
                                        logActionFailure(QStringLiteral("update application"), error));
                      setIsUpdating(false);
                      return finishedAction();
                  }
                  const Update::Result result = done.result();
                  if (!result.success && !result.alreadyInstalled) {
                      storeFailedUpdate(application, result.error.value_or(QStringLiteral("Update failed")));
                      setIsUpdating(false);
                      return finishedAction();
                  }
                  UpdateProgress completed;
                  completed.id = QUuid::createUuid();
                  completed.application = application;
                  completed.status = UpdateProgress::Status::completed;
                  completed.progress = 1.0;
                  // An application that updated itself needed nothing: the pane says what it holds.
                  completed.currentStep =
                      result.alreadyInstalled
                          ? QStringLiteral("Nothing to install: version %1 is already installed")
                                .arg(m_store.applicationsByPath()
                                         .value(application->path(), application)
                                         ->displayCurrentVersion())
                          : QStringLiteral("Update completed successfully");
                  completed.startTime = now();
                  setUpdateProgress(completed);
                  return afterPause(1s, [this] {
                      setUpdateProgress(std::nullopt);
                      setIsUpdating(false);
                  });
              })
        .unwrap();
}

QFuture<void> DetailViewModel::ignoreApplication()
{
    const ApplicationPtr application = m_store.selectedApplication();
    if (!application)
        return finishedAction();
    setIsIgnoring(true);
    AppCoordinator* coordinator = &m_coordinator;
    return runForMainThread([coordinator, application] { coordinator->ignoreApplication(application); })
        .then(this, [this](QFuture<void> done) {
            if (const std::exception_ptr error = failureOf(done))
                logActionFailure(QStringLiteral("ignore application"), error);
            setIsIgnoring(false);
        });
}

QFuture<void> DetailViewModel::unignoreApplication()
{
    const ApplicationPtr application = m_store.selectedApplication();
    if (!application)
        return finishedAction();
    setIsIgnoring(true);
    AppCoordinator* coordinator = &m_coordinator;
    return runForMainThread([coordinator, application] { coordinator->unignoreApplication(application); })
        .then(this,
              [this](QFuture<void> done) {
                  if (const std::exception_ptr error = failureOf(done)) {
                      logActionFailure(QStringLiteral("unignore application"), error);
                      setIsIgnoring(false);
                      return finishedAction();
                  }
                  // The refresh works on whatever is selected by now. The Unignore has ended with
                  // it, not with the status panel that tells its end.
                  return refresh([this] { setIsIgnoring(false); });
              })
        .unwrap();
}

QFuture<void> DetailViewModel::refreshApplication()
{
    return refresh({});
}

QFuture<void> DetailViewModel::refresh(std::function<void()> ended)
{
    const ApplicationPtr application = m_store.selectedApplication();
    if (!application) {
        if (ended)
            ended();
        return finishedAction();
    }
    setIsRefreshing(true);
    setShowRefreshSuccess(false);
    setRefreshFailure(QString());
    AppCoordinator* coordinator = &m_coordinator;
    return runForMainThread(
               [coordinator, application] { return coordinator->refreshApplication(application); })
        .then(this,
              [this, ended = std::move(ended)](QFuture<std::optional<SourceFailure>> done) {
                  // What a source that could not be read offered before is still shown, and a
                  // refresh that failed whole (`brew` refused, the bundle gone) changed nothing:
                  // neither is a success, and an Unignore or Unskip would otherwise end unexplained.
                  std::optional<QString> failure;
                  if (const std::exception_ptr error = failureOf(done))
                      failure = logActionFailure(QStringLiteral("refresh application"), error);
                  else if (const std::optional<SourceFailure> unread = done.result())
                      // A feed's reason names the feed; a listing's or the catalogue's is told with it.
                      failure = unread->source == SourceFailure::updateFeed()
                                    ? unread->description
                                    : unread->source + QStringLiteral(" could not be read: ") +
                                          unread->description;
                  setIsRefreshing(false);
                  if (ended)
                      ended();
                  if (failure) {
                      setRefreshFailure(*failure);
                      return afterPause(3s, [this] { setRefreshFailure(QString()); });
                  }
                  setShowRefreshSuccess(true);
                  return afterPause(3s, [this] { setShowRefreshSuccess(false); });
              })
        .unwrap();
}

QFuture<void> DetailViewModel::skipVersion()
{
    const ApplicationPtr application = m_store.selectedApplication();
    if (!application)
        return finishedAction();
    setIsSkippingVersion(true);
    AppCoordinator* coordinator = &m_coordinator;
    return runForMainThread([coordinator, application] { coordinator->skipVersion(application); })
        .then(this, [this, application](QFuture<void> done) {
            if (const std::exception_ptr error = failureOf(done)) {
                logActionFailure(QStringLiteral("skip version"), error);
            } else if (m_updateProgress && sameApplication(m_updateProgress->application, application)) {
                setUpdateProgress(std::nullopt);
            }
            setIsSkippingVersion(false);
        });
}

QFuture<void> DetailViewModel::unskipVersion()
{
    const ApplicationPtr application = m_store.selectedApplication();
    if (!application)
        return finishedAction();
    AppCoordinator* coordinator = &m_coordinator;
    return runForMainThread([coordinator, application] { coordinator->unskipVersion(application); })
        .then(this,
              [this](QFuture<void> done) {
                  if (const std::exception_ptr error = failureOf(done)) {
                      logActionFailure(QStringLiteral("unskip version"), error);
                      return finishedAction();
                  }
                  return refreshApplication();
              })
        .unwrap();
}

QFuture<void> DetailViewModel::adoptCask()
{
    const ApplicationPtr application = m_store.selectedApplication();
    if (!application)
        return finishedAction();
    setIsAdopting(true);
    setAdoptionProgress(std::nullopt);

    // May be called from brew's two output readers at once; each value is stored on the main
    // thread.
    AppCoordinator::AdoptionProgressHandler handler =
        [self = QPointer<DetailViewModel>(this)](const AdoptionProgress& value) {
            postToMain([self, value] {
                if (self)
                    self->setAdoptionProgress(value);
            });
        };
    AppCoordinator* coordinator = &m_coordinator;
    return runForMainThread(
               [coordinator, application, handler] { coordinator->adoptApplication(application, handler); })
        .then(this,
              [this, application](QFuture<void> done) {
                  if (const std::exception_ptr error = failureOf(done)) {
                      AdoptionProgress failed;
                      failed.id = QUuid::createUuid();
                      failed.application = application;
                      failed.status = AdoptionProgress::Status::failed;
                      failed.progress = 0.0;
                      failed.currentStep = logActionFailure(QStringLiteral("adopt cask"), error);
                      failed.startTime = now();
                      setAdoptionProgress(failed);
                      return afterPause(2s, [this] { setIsAdopting(false); });
                  }
                  return afterPause(1s, [this] {
                      setAdoptionProgress(std::nullopt);
                      setIsAdopting(false);
                  });
              })
        .unwrap();
}

QFuture<QString> DetailViewModel::verifyCustomCask(const QString& caskName, const std::optional<QString>& tap)
{
    const ApplicationPtr application = m_store.selectedApplication();
    if (!application)
        return QtFuture::makeReadyFuture(QString());
    setIsVerifyingCustomCask(true);
    AppCoordinator* coordinator = &m_coordinator;
    return runForMainThread([coordinator, application, caskName, tap] {
               coordinator->verifyCustomCask(application, caskName, tap);
           })
        .then(this, [this](QFuture<void> done) {
            QString failure;
            if (const std::exception_ptr error = failureOf(done))
                failure = logActionFailure(QStringLiteral("verify custom cask"), error);
            setIsVerifyingCustomCask(false);
            return failure;
        });
}

void DetailViewModel::useTerminalCommands(TerminalCommands& commands)
{
    m_terminalCommands = &commands;
    TerminalCommands* terminal = &commands;
    connect(terminal, &TerminalCommands::isLaunchingTerminalChanged, this, &DetailViewModel::setIsLaunchingTerminal);
    connect(terminal, &TerminalCommands::didLaunchTerminalChanged, this, &DetailViewModel::setDidLaunchTerminal);
    connect(terminal, &TerminalCommands::isRunningBrewDoctorChanged, this, &DetailViewModel::setIsRunningBrewDoctor);
    connect(terminal, &TerminalCommands::brewDoctorOutputChanged, this, &DetailViewModel::setBrewDoctorOutput);
    connect(terminal, &TerminalCommands::brewDoctorHasErrorChanged, this, &DetailViewModel::setBrewDoctorHasError);
    // The alert flags belong to the views and may be set on either object; both setters
    // ignore an equal value, so the pair settles at once.
    connect(terminal, &TerminalCommands::suppressTerminalAlertChanged, this,
            &DetailViewModel::setSuppressTerminalAlert);
    connect(this, &DetailViewModel::suppressTerminalAlertChanged, terminal,
            &TerminalCommands::setSuppressTerminalAlert);
    connect(terminal, &TerminalCommands::showTerminalAlertChanged, this, &DetailViewModel::setShowTerminalAlert);
    connect(this, &DetailViewModel::showTerminalAlertChanged, terminal, &TerminalCommands::setShowTerminalAlert);
    commands.setSuppressTerminalAlert(suppressTerminalAlert());
    commands.setShowTerminalAlert(showTerminalAlert());
}

std::optional<TerminalLauncher::Result> DetailViewModel::executeInTerminal(const QString& commandLine)
{
    if (!m_terminalCommands)
        return std::nullopt;
    return m_terminalCommands->executeInTerminal(commandLine);
}

std::optional<TerminalLauncher::Result> DetailViewModel::executeInTerminal(const QStringList& arguments)
{
    if (!m_terminalCommands)
        return std::nullopt;
    return m_terminalCommands->executeInTerminal(arguments);
}

QFuture<void> DetailViewModel::runBrewDoctor()
{
    if (m_terminalCommands)
        return m_terminalCommands->runBrewDoctor();
    return finishedAction();
}

} // namespace norvelle
