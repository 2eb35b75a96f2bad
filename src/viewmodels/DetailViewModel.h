#pragma once

#include "model/AdoptionProgress.h"
#include "model/Application.h"
#include "model/UpdateProgress.h"
#include "platform/TerminalLauncher.h"

#include <QFuture>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace norvelle {

class TerminalCommands;

class AppCoordinator;
class ApplicationStore;
class Clock;

// What the detail pane, the sidebar's row actions and the batch-update sheet call to act on
// the selected application. Lives on the main thread. Each action reads the selection when it
// starts (nothing selected: it does nothing), raises its busy flag, runs one blocking
// coordinator operation on a worker, and turns the outcome into state; it never fails:
// errors are logged as "Failed to <action>: <description>". Progress reports that arrive on
// other threads are each posted to the main thread and stored there, in order.
// Every setter signals only a real change; views may also set the fields.
class DetailViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isUpdating READ isUpdating WRITE setIsUpdating NOTIFY isUpdatingChanged)
    Q_PROPERTY(bool isIgnoring READ isIgnoring WRITE setIsIgnoring NOTIFY isIgnoringChanged)
    Q_PROPERTY(bool isSkippingVersion READ isSkippingVersion WRITE setIsSkippingVersion NOTIFY
                   isSkippingVersionChanged)
    Q_PROPERTY(bool isAdopting READ isAdopting WRITE setIsAdopting NOTIFY isAdoptingChanged)
    Q_PROPERTY(bool isVerifyingCustomCask READ isVerifyingCustomCask WRITE setIsVerifyingCustomCask NOTIFY
                   isVerifyingCustomCaskChanged)
    Q_PROPERTY(bool isRefreshing READ isRefreshing WRITE setIsRefreshing NOTIFY isRefreshingChanged)
    Q_PROPERTY(bool showRefreshSuccess READ showRefreshSuccess WRITE setShowRefreshSuccess NOTIFY
                   showRefreshSuccessChanged)
    Q_PROPERTY(
        QString refreshFailure READ refreshFailure WRITE setRefreshFailure NOTIFY refreshFailureChanged)
    Q_PROPERTY(bool showTerminalAlert READ showTerminalAlert WRITE setShowTerminalAlert NOTIFY
                   showTerminalAlertChanged)
    Q_PROPERTY(bool suppressTerminalAlert READ suppressTerminalAlert WRITE setSuppressTerminalAlert NOTIFY
                   suppressTerminalAlertChanged)
    Q_PROPERTY(bool didLaunchTerminal READ didLaunchTerminal WRITE setDidLaunchTerminal NOTIFY
                   didLaunchTerminalChanged)
    Q_PROPERTY(bool isLaunchingTerminal READ isLaunchingTerminal WRITE setIsLaunchingTerminal NOTIFY
                   isLaunchingTerminalChanged)
    Q_PROPERTY(bool isRunningBrewDoctor READ isRunningBrewDoctor WRITE setIsRunningBrewDoctor NOTIFY
                   isRunningBrewDoctorChanged)
    Q_PROPERTY(QString brewDoctorOutput READ brewDoctorOutput WRITE setBrewDoctorOutput NOTIFY
                   brewDoctorOutputChanged)
    Q_PROPERTY(bool brewDoctorHasError READ brewDoctorHasError WRITE setBrewDoctorHasError NOTIFY
                   brewDoctorHasErrorChanged)

public:
    // Which Homebrew command a Terminal fallback offers for the selected application.
    enum class ActionType { update, adoption };
    Q_ENUM(ActionType)

    // Waits the given time on the main thread without blocking it; the future ends then.
    using Pause = std::function<QFuture<void>(std::chrono::milliseconds)>;

    // `coordinator` and `store` must outlive the view model. Without a clock the system clock
    // stamps progress records; without a pause, a main-thread timer waits.
    DetailViewModel(AppCoordinator& coordinator, ApplicationStore& store,
                    std::shared_ptr<const Clock> clock = nullptr, Pause pause = {},
                    QObject* parent = nullptr);
    ~DetailViewModel() override;

    AppCoordinator& coordinator() const { return m_coordinator; }
    ApplicationStore& store() const { return m_store; }

    bool isUpdating() const { return m_isUpdating; }
    bool isIgnoring() const { return m_isIgnoring; }
    bool isSkippingVersion() const { return m_isSkippingVersion; }
    bool isAdopting() const { return m_isAdopting; }
    bool isVerifyingCustomCask() const { return m_isVerifyingCustomCask; }
    std::optional<UpdateProgress> updateProgress() const { return m_updateProgress; }
    std::optional<AdoptionProgress> adoptionProgress() const { return m_adoptionProgress; }
    bool showTerminalAlert() const { return m_showTerminalAlert; }
    bool suppressTerminalAlert() const { return m_suppressTerminalAlert; }
    bool didLaunchTerminal() const { return m_didLaunchTerminal; }
    bool isRefreshing() const { return m_isRefreshing; }
    bool showRefreshSuccess() const { return m_showRefreshSuccess; }
    // Why the check of the refresh that just ended could not read a source: shown in place of
    // the success notice, for as long; empty otherwise.
    QString refreshFailure() const { return m_refreshFailure; }
    // The refresh panel shows while a refresh runs and while its end is told.
    bool showsRefresh() const
    {
        return m_isRefreshing || m_showRefreshSuccess || !m_refreshFailure.isEmpty();
    }
    bool isLaunchingTerminal() const { return m_isLaunchingTerminal; }
    bool isRunningBrewDoctor() const { return m_isRunningBrewDoctor; }
    QString brewDoctorOutput() const { return m_brewDoctorOutput; }
    bool brewDoctorHasError() const { return m_brewDoctorHasError; }

    void setIsUpdating(bool value);
    void setIsIgnoring(bool value);
    void setIsSkippingVersion(bool value);
    void setIsAdopting(bool value);
    void setIsVerifyingCustomCask(bool value);
    void setUpdateProgress(const std::optional<UpdateProgress>& value);
    void setAdoptionProgress(const std::optional<AdoptionProgress>& value);
    void setShowTerminalAlert(bool value);
    void setSuppressTerminalAlert(bool value);
    void setDidLaunchTerminal(bool value);
    void setIsRefreshing(bool value);
    void setShowRefreshSuccess(bool value);
    void setRefreshFailure(const QString& value);
    void setIsLaunchingTerminal(bool value);
    void setIsRunningBrewDoctor(bool value);
    void setBrewDoctorOutput(const QString& value);
    void setBrewDoctorHasError(bool value);

    // The actions. Each future ends when the action has ended, pauses included.
    QFuture<void> updateApplication();
    QFuture<void> ignoreApplication();
    QFuture<void> unignoreApplication();
    QFuture<void> refreshApplication();
    QFuture<void> skipVersion();
    QFuture<void> unskipVersion();
    QFuture<void> adoptCask();
    // Ends with the failure's description for the panel to show, empty when the cask was verified.
    QFuture<QString> verifyCustomCask(const QString& caskName, const std::optional<QString>& tap);

    // The Terminal hand-over and brew doctor run in TerminalCommands; its state shows in this
    // model's fields, and the two alert flags the views set here reach it too. The hand-over's
    // outcome goes back to the view that asked, which shows a failure where the user acted; none
    // when nothing was tried (no TerminalCommands, or a duplicate request dropped).
    void useTerminalCommands(TerminalCommands& commands);
    std::optional<TerminalLauncher::Result> executeInTerminal(const QString& commandLine);
    std::optional<TerminalLauncher::Result> executeInTerminal(const QStringList& arguments);
    QFuture<void> runBrewDoctor();

Q_SIGNALS:
    void isUpdatingChanged(bool value);
    void isIgnoringChanged(bool value);
    void isSkippingVersionChanged(bool value);
    void isAdoptingChanged(bool value);
    void isVerifyingCustomCaskChanged(bool value);
    void updateProgressChanged(const std::optional<norvelle::UpdateProgress>& value);
    void adoptionProgressChanged(const std::optional<norvelle::AdoptionProgress>& value);
    void showTerminalAlertChanged(bool value);
    void suppressTerminalAlertChanged(bool value);
    void didLaunchTerminalChanged(bool value);
    void isRefreshingChanged(bool value);
    void showRefreshSuccessChanged(bool value);
    void refreshFailureChanged(const QString& value);
    void isLaunchingTerminalChanged(bool value);
    void isRunningBrewDoctorChanged(bool value);
    void brewDoctorOutputChanged(const QString& value);
    void brewDoctorHasErrorChanged(bool value);

private:
    using ApplicationPtr = std::shared_ptr<Application>;

    // The refresh of the selected application; `ended` runs once it has ended, before the pause
    // in which its outcome shows.
    QFuture<void> refresh(std::function<void()> ended);
    // A failed update record for the application, keeping the lines captured so far.
    void storeFailedUpdate(const ApplicationPtr& application, const QString& step);
    QDateTime now() const;
    // Runs `then` on the main thread once the pause has ended, also when it was cancelled.
    QFuture<void> afterPause(std::chrono::milliseconds duration, std::function<void()> then);

    AppCoordinator& m_coordinator;
    ApplicationStore& m_store;
    const std::shared_ptr<const Clock> m_clock;
    const Pause m_pause;

    bool m_isUpdating = false;
    bool m_isIgnoring = false;
    bool m_isSkippingVersion = false;
    bool m_isAdopting = false;
    bool m_isVerifyingCustomCask = false;
    std::optional<UpdateProgress> m_updateProgress;
    std::optional<AdoptionProgress> m_adoptionProgress;
    bool m_showTerminalAlert = false;
    bool m_suppressTerminalAlert = false;
    bool m_didLaunchTerminal = false;
    bool m_isRefreshing = false;
    bool m_showRefreshSuccess = false;
    QString m_refreshFailure;
    bool m_isLaunchingTerminal = false;
    bool m_isRunningBrewDoctor = false;
    QString m_brewDoctorOutput;
    bool m_brewDoctorHasError = false;
    TerminalCommands* m_terminalCommands = nullptr;
};

} // namespace norvelle
