#pragma once

#include "model/Application.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QUuid>
#include <memory>
#include <optional>

namespace norvelle {

// One report of an application being adopted into Homebrew. Every report is a
// new record with a fresh id; the application is the shared object, not a copy.
struct AdoptionProgress {
    enum class Status { queued, downloading, adopting, verifying, completed, failed, cancelled };

    QUuid id;
    std::shared_ptr<Application> application;
    Status status = Status::queued;
    double progress = 0.0; // 0.0 nothing done … 1.0 finished
    QString currentStep;
    QDateTime startTime;
    std::optional<QDateTime> estimatedCompletion;

    // The application takes part by its id only; progress is compared exactly.
    bool operator==(const AdoptionProgress& other) const;

    // Exact, case-sensitive match of a raw value; no value for anything else.
    static std::optional<Status> statusFromRawValue(const QString& rawValue);
};

QString toRawValue(AdoptionProgress::Status status);
size_t qHash(AdoptionProgress::Status status, size_t seed = 0);
size_t qHash(const AdoptionProgress& progress, size_t seed = 0);

} // namespace norvelle

Q_DECLARE_METATYPE(norvelle::AdoptionProgress)
