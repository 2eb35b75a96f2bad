#include "viewmodels/DetailViewModel.h"

#include "platform/Clock.h"

#include <QCoreApplication>
#include <QPromise>
#include <QTimer>

namespace norvelle {

namespace {

// A pause on the main thread's monotonic timers.
QFuture<void> timerPause(std::chrono::milliseconds duration)
{
    auto promise = std::make_shared<QPromise<void>>();
    promise->start();
    QFuture<void> future = promise->future();
    QTimer::singleShot(duration, Qt::PreciseTimer, QCoreApplication::instance(),
                       [promise] { promise->finish(); });
    return future;
}

// Stores the value and signals, only when it differs from the field.
template <typename T, typename Signal>
void assign(DetailViewModel* self, T& field, const T& value, Signal signal)
{
    if (field == value)
        return;
    field = value;
    Q_EMIT(self->*signal)(value);
}

} // namespace

DetailViewModel::DetailViewModel(AppCoordinator& coordinator, ApplicationStore& store,
                                 std::shared_ptr<const Clock> clock, Pause pause, QObject* parent)
    : QObject(parent), m_coordinator(coordinator), m_store(store),
      m_clock(clock ? std::move(clock) : std::make_shared<const Clock>()),
      m_pause(pause ? std::move(pause) : Pause(&timerPause))
{
}

DetailViewModel::~DetailViewModel() = default;

QDateTime DetailViewModel::now() const
{
    return m_clock->now();
}

void DetailViewModel::setIsUpdating(bool value)
{
    assign(this, m_isUpdating, value, &DetailViewModel::isUpdatingChanged);
}

void DetailViewModel::setIsIgnoring(bool value)
{
    assign(this, m_isIgnoring, value, &DetailViewModel::isIgnoringChanged);
}

void DetailViewModel::setIsSkippingVersion(bool value)
{
    assign(this, m_isSkippingVersion, value, &DetailViewModel::isSkippingVersionChanged);
}

void DetailViewModel::setIsAdopting(bool value)
{
    assign(this, m_isAdopting, value, &DetailViewModel::isAdoptingChanged);
}

void DetailViewModel::setIsVerifyingCustomCask(bool value)
{
    assign(this, m_isVerifyingCustomCask, value, &DetailViewModel::isVerifyingCustomCaskChanged);
}

void DetailViewModel::setUpdateProgress(const std::optional<UpdateProgress>& value)
{
    assign(this, m_updateProgress, value, &DetailViewModel::updateProgressChanged);
}

void DetailViewModel::setAdoptionProgress(const std::optional<AdoptionProgress>& value)
{
    assign(this, m_adoptionProgress, value, &DetailViewModel::adoptionProgressChanged);
}

void DetailViewModel::setShowTerminalAlert(bool value)
{
    assign(this, m_showTerminalAlert, value, &DetailViewModel::showTerminalAlertChanged);
}

void DetailViewModel::setSuppressTerminalAlert(bool value)
{
    assign(this, m_suppressTerminalAlert, value, &DetailViewModel::suppressTerminalAlertChanged);
}

void DetailViewModel::setDidLaunchTerminal(bool value)
{
    assign(this, m_didLaunchTerminal, value, &DetailViewModel::didLaunchTerminalChanged);
}

void DetailViewModel::setIsRefreshing(bool value)
{
    assign(this, m_isRefreshing, value, &DetailViewModel::isRefreshingChanged);
}

void DetailViewModel::setShowRefreshSuccess(bool value)
{
    assign(this, m_showRefreshSuccess, value, &DetailViewModel::showRefreshSuccessChanged);
}

void DetailViewModel::setRefreshFailure(const QString& value)
{
    assign(this, m_refreshFailure, value, &DetailViewModel::refreshFailureChanged);
}

void DetailViewModel::setIsLaunchingTerminal(bool value)
{
    assign(this, m_isLaunchingTerminal, value, &DetailViewModel::isLaunchingTerminalChanged);
}

void DetailViewModel::setIsRunningBrewDoctor(bool value)
{
    assign(this, m_isRunningBrewDoctor, value, &DetailViewModel::isRunningBrewDoctorChanged);
}

void DetailViewModel::setBrewDoctorOutput(const QString& value)
{
    assign(this, m_brewDoctorOutput, value, &DetailViewModel::brewDoctorOutputChanged);
}

void DetailViewModel::setBrewDoctorHasError(bool value)
{
    assign(this, m_brewDoctorHasError, value, &DetailViewModel::brewDoctorHasErrorChanged);
}

} // namespace norvelle
