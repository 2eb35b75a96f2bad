#pragma once

#include "model/Cask.h"
#include "model/MAS.h"
#include "model/SparkleInfo.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QUuid>
#include <memory>
#include <optional>

namespace norvelle {

class Application;

// One available update of one application, as one update source reported it.
struct Update {
    // Same cases and raw values as Application::Source, but a type of its own:
    // this names the one source offering the update.
    enum class Source { homebrew, sparkle, appStore, other };
    enum class Status { available, updating, updated, failed, ignored };

    // The outcome of one application in a batch run.
    struct Result {
        QUuid id;
        std::shared_ptr<Application> application;
        bool success = false;
        std::optional<QString> error;
        QDateTime timestamp;
        // Nothing was installed and nothing failed: the bundle already held the offered version
        // or a newer one (an application that updates itself). Never set with `success`.
        bool alreadyInstalled = false;

        // The application takes part by its id only.
        bool operator==(const Result& other) const;
    };

    QString latestVersion;
    std::optional<QString> releaseNotes;
    std::optional<QDateTime> releaseDate;
    Source source = Source::homebrew;
    Status status = Status::available;
    std::optional<Cask> cask;
    std::optional<SparkleInfo> sparkleInfo;
    std::optional<MAS> mas;
    std::optional<QString> lastUpdateError;

    // Every field takes part, lastUpdateError included.
    bool operator==(const Update& other) const = default;

    // Exact, case-sensitive match of a raw value; no value for anything else.
    static std::optional<Source> sourceFromRawValue(const QString& rawValue);
    static std::optional<Status> statusFromRawValue(const QString& rawValue);
};

QString toRawValue(Update::Source source);
QString toRawValue(Update::Status status);

// Enumerations hash by their raw-value text.
size_t qHash(Update::Source source, size_t seed = 0);
size_t qHash(Update::Status status, size_t seed = 0);
size_t qHash(const Update& update, size_t seed = 0);
size_t qHash(const Update::Result& result, size_t seed = 0);

} // namespace norvelle

Q_DECLARE_METATYPE(norvelle::Update)
Q_DECLARE_METATYPE(norvelle::Update::Result)
