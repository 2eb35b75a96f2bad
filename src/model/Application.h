#pragma once

#include "model/Cask.h"
#include "model/MAS.h"
#include "model/SourceFailure.h"
#include "model/SparkleInfo.h"
#include "model/Update.h"
#include "util/ObserverToken.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace norvelle {

template <typename Event> class ObserverRegistry;

// One installed application, shared by everyone as std::shared_ptr<Application>.
// Discovery builds it on worker threads, so it is not a QObject: the tracked
// fields sit behind a mutex, getters copy them out, and a setter that really
// changes a field tells the observers afterwards, on the setter's thread, with no
// lock held. The fixed fields never change and may be read anywhere.
class Application {
public:
    enum class Source { homebrew, sparkle, appStore, other };
    enum class Field {
        currentVersion,
        ignored,
        skippedVersion,
        source,
        update,
        cask,
        mas,
        sparkleInfo,
        checkFailure
    };
    using Observer = std::function<void(Field)>;
    using ObserverToken = norvelle::ObserverToken;

    // Every field at one moment, read under one lock.
    struct Snapshot {
        QUuid id;
        QString name;
        QString bundleIdentifier;
        QUrl path;
        QString currentVersion;
        bool ignored = false;
        std::optional<QString> skippedVersion;
        QList<Source> source;
        std::optional<Update> update;
        std::optional<Cask> cask;
        std::optional<MAS> mas;
        std::optional<SparkleInfo> sparkleInfo;
        // The source the last check of this application could not read, and why; the update
        // known before that check stays.
        std::optional<SourceFailure> checkFailure;

        QString displayCurrentVersion() const;
        std::optional<QString> displayLatestVersion() const;
    };

    // A fresh random id; not ignored, no skipped version.
    Application(QString name, QString bundleIdentifier, QUrl path, QString currentVersion,
                QList<Source> source, std::optional<Update> update = std::nullopt,
                std::optional<Cask> cask = std::nullopt, std::optional<MAS> mas = std::nullopt,
                std::optional<SparkleInfo> sparkleInfo = std::nullopt);
    // The same with a given id, for an object that stands for one made earlier.
    Application(const QUuid& id, QString name, QString bundleIdentifier, QUrl path, QString currentVersion,
                QList<Source> source, std::optional<Update> update = std::nullopt,
                std::optional<Cask> cask = std::nullopt, std::optional<MAS> mas = std::nullopt,
                std::optional<SparkleInfo> sparkleInfo = std::nullopt);
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    template <typename... Args> static std::shared_ptr<Application> create(Args&&... args)
    {
        return std::make_shared<Application>(std::forward<Args>(args)...);
    }

    const QUuid& id() const { return m_state.id; }
    const QString& name() const { return m_state.name; }
    const QString& bundleIdentifier() const { return m_state.bundleIdentifier; }
    const QUrl& path() const { return m_state.path; }

    QString currentVersion() const;
    bool ignored() const;
    std::optional<QString> skippedVersion() const;
    QList<Source> source() const;
    std::optional<Update> update() const;
    std::optional<Cask> cask() const;
    std::optional<MAS> mas() const;
    std::optional<SparkleInfo> sparkleInfo() const;
    std::optional<SourceFailure> checkFailure() const;
    Snapshot snapshot() const;
    // The state, read in place under the lock by a reader that needs a few fields of many
    // applications: copying each whole state (its update, cask and notes) for a list of
    // thousands cost the main thread milliseconds. The reader must not call into this object.
    template <typename Reader> auto read(Reader&& reader) const
    {
        std::lock_guard lock(m_mutex);
        return reader(std::as_const(m_state));
    }

    void setCurrentVersion(QString value);
    void setIgnored(bool value);
    void setSkippedVersion(std::optional<QString> value);
    void setSource(QList<Source> value);
    void setUpdate(std::optional<Update> value);
    void setCask(std::optional<Cask> value);
    void setMas(std::optional<MAS> value);
    void setSparkleInfo(std::optional<SparkleInfo> value);
    void setCheckFailure(std::optional<SourceFailure> value);

    // The installed and the offered version as the user sees them: the base
    // version, with the build only when both sides share the base version.
    QString displayCurrentVersion() const;
    std::optional<QString> displayLatestVersion() const;

    // Called after every change of a tracked field until the token is destroyed.
    [[nodiscard]] ObserverToken addObserver(Observer observer);

    static std::optional<Source> sourceFromRawValue(const QString& rawValue);

    // Identity alone decides equality.
    bool operator==(const Application& other) const { return id() == other.id(); }

private:
    template <typename T> void write(T Snapshot::*field, T value, Field which);

    mutable std::mutex m_mutex;
    Snapshot m_state; // id, name, bundleIdentifier and path are written only by the constructor
    std::shared_ptr<ObserverRegistry<Field>> m_observers;
};

QString toRawValue(Application::Source source);
Update::Source toUpdateSource(Application::Source source);
Application::Source toApplicationSource(Update::Source source);

size_t qHash(Application::Source source, size_t seed = 0);
size_t qHash(const Application& application, size_t seed = 0);

// Comparing shared applications by identity; an empty pointer equals only another empty one.
QUuid applicationId(const std::shared_ptr<Application>& application);
bool sameApplication(const std::shared_ptr<Application>& a, const std::shared_ptr<Application>& b);
bool sameApplications(const QList<std::shared_ptr<Application>>& a,
                      const QList<std::shared_ptr<Application>>& b);

// For std::unordered_map/set keyed by shared applications.
struct ApplicationIdHash {
    size_t operator()(const std::shared_ptr<Application>& application) const;
};
struct ApplicationIdEqual {
    bool operator()(const std::shared_ptr<Application>& a, const std::shared_ptr<Application>& b) const
    {
        return sameApplication(a, b);
    }
};

} // namespace norvelle

template <> struct std::hash<norvelle::Application> {
    size_t operator()(const norvelle::Application& application) const noexcept
    {
        return qHash(application.id());
    }
};

Q_DECLARE_METATYPE(std::shared_ptr<norvelle::Application>)
