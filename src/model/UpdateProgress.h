#pragma once

#include "model/Application.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <memory>
#include <optional>

namespace norvelle {

// One report of an update being installed. Every report is a new record with a
// fresh id; the application is the shared object, not a copy.
struct UpdateProgress {
    enum class Status { queued, downloading, installing, verifying, completed, failed, cancelled };

    QUuid id;
    std::shared_ptr<Application> application;
    Status status = Status::queued;
    double progress = 0.0; // 0.0 nothing done … 1.0 finished
    QString currentStep;
    QDateTime startTime;
    std::optional<QDateTime> estimatedCompletion;
    QStringList brewOutput; // oldest line first

    // The application takes part by its id only; progress is compared exactly.
    bool operator==(const UpdateProgress& other) const;

    // Exact, case-sensitive match of a raw value; no value for anything else.
    static std::optional<Status> statusFromRawValue(const QString& rawValue);
};

QString toRawValue(UpdateProgress::Status status);
size_t qHash(UpdateProgress::Status status, size_t seed = 0);
size_t qHash(const UpdateProgress& progress, size_t seed = 0);

} // namespace norvelle

Q_DECLARE_METATYPE(norvelle::UpdateProgress)
