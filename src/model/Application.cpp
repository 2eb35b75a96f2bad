#include "model/Application.h"

#include "util/ObserverRegistry.h"
#include "model/RawValueTable.h"

#include <algorithm>
#include <utility>

namespace norvelle {

namespace {

const rawvalues::Table<Application::Source, 4> kSources{{
    {Application::Source::homebrew, "homebrew"},
    {Application::Source::sparkle, "sparkle"},
    {Application::Source::appStore, "appStore"},
    {Application::Source::other, "other"},
}};

// Cut at every comma, dropping empty pieces: "1.2,,300" has two pieces, ",5" one.
QStringList versionPieces(const QString& version)
{
    return version.split(QLatin1Char(','), Qt::SkipEmptyParts);
}

// The base version of the other side: its first piece, or the whole text when it has none.
QString baseVersion(const QString& version)
{
    const QStringList pieces = versionPieces(version);
    return pieces.isEmpty() ? version : pieces.first();
}

// Shows "base (build)" when the other side carries the same base version, else
// the base alone; a version that is not exactly version plus build is shown as is.
QString displayVersion(const QString& version, const std::optional<QString>& otherVersion)
{
    const QStringList pieces = versionPieces(version);
    if (pieces.size() != 2)
        return version;
    const QString& base = pieces.at(0);
    if (otherVersion && base == baseVersion(*otherVersion))
        return base + QStringLiteral(" (") + pieces.at(1) + QLatin1Char(')');
    return base;
}

std::optional<QString> latestVersionOf(const std::optional<Update>& update)
{
    return update ? std::optional<QString>(update->latestVersion) : std::nullopt;
}

} // namespace

QString Application::Snapshot::displayCurrentVersion() const
{
    return displayVersion(currentVersion, latestVersionOf(update));
}

std::optional<QString> Application::Snapshot::displayLatestVersion() const
{
    if (!update)
        return std::nullopt;
    return displayVersion(update->latestVersion, currentVersion);
}

Application::Application(QString name, QString bundleIdentifier, QUrl path, QString currentVersion,
                         QList<Source> source, std::optional<Update> update, std::optional<Cask> cask,
                         std::optional<MAS> mas, std::optional<SparkleInfo> sparkleInfo)
    : Application(QUuid::createUuid(), std::move(name), std::move(bundleIdentifier), std::move(path),
                  std::move(currentVersion), std::move(source), std::move(update), std::move(cask),
                  std::move(mas), std::move(sparkleInfo))
{
}

Application::Application(const QUuid& id, QString name, QString bundleIdentifier, QUrl path,
                         QString currentVersion, QList<Source> source, std::optional<Update> update,
                         std::optional<Cask> cask, std::optional<MAS> mas,
                         std::optional<SparkleInfo> sparkleInfo)
    : m_state{id,
              std::move(name),
              std::move(bundleIdentifier),
              std::move(path),
              std::move(currentVersion),
              false,
              std::nullopt,
              std::move(source),
              std::move(update),
              std::move(cask),
              std::move(mas),
              std::move(sparkleInfo),
              std::nullopt},
      m_observers(std::make_shared<ObserverRegistry<Field>>())
{
}

QString Application::currentVersion() const
{
    std::lock_guard lock(m_mutex);
    return m_state.currentVersion;
}

bool Application::ignored() const
{
    std::lock_guard lock(m_mutex);
    return m_state.ignored;
}

std::optional<QString> Application::skippedVersion() const
{
    std::lock_guard lock(m_mutex);
    return m_state.skippedVersion;
}

QList<Application::Source> Application::source() const
{
    std::lock_guard lock(m_mutex);
    return m_state.source;
}

std::optional<Update> Application::update() const
{
    std::lock_guard lock(m_mutex);
    return m_state.update;
}

std::optional<Cask> Application::cask() const
{
    std::lock_guard lock(m_mutex);
    return m_state.cask;
}

std::optional<MAS> Application::mas() const
{
    std::lock_guard lock(m_mutex);
    return m_state.mas;
}

std::optional<SparkleInfo> Application::sparkleInfo() const
{
    std::lock_guard lock(m_mutex);
    return m_state.sparkleInfo;
}

std::optional<SourceFailure> Application::checkFailure() const
{
    std::lock_guard lock(m_mutex);
    return m_state.checkFailure;
}

Application::Snapshot Application::snapshot() const
{
    std::lock_guard lock(m_mutex);
    return m_state;
}

template <typename T> void Application::write(T Snapshot::*field, T value, Field which)
{
    bool changed = false;
    {
        std::lock_guard lock(m_mutex);
        changed = !(m_state.*field == value);
        m_state.*field = std::move(value);
    }
    // Observers run without the lock, so they may read or write this object.
    if (changed)
        m_observers->notify(which);
}

void Application::setCurrentVersion(QString value)
{
    write(&Snapshot::currentVersion, std::move(value), Field::currentVersion);
}

void Application::setIgnored(bool value)
{
    write(&Snapshot::ignored, value, Field::ignored);
}

void Application::setSkippedVersion(std::optional<QString> value)
{
    write(&Snapshot::skippedVersion, std::move(value), Field::skippedVersion);
}

void Application::setSource(QList<Source> value)
{
    write(&Snapshot::source, std::move(value), Field::source);
}

void Application::setUpdate(std::optional<Update> value)
{
    write(&Snapshot::update, std::move(value), Field::update);
}

void Application::setCask(std::optional<Cask> value)
{
    write(&Snapshot::cask, std::move(value), Field::cask);
}

void Application::setMas(std::optional<MAS> value)
{
    write(&Snapshot::mas, std::move(value), Field::mas);
}

void Application::setSparkleInfo(std::optional<SparkleInfo> value)
{
    write(&Snapshot::sparkleInfo, std::move(value), Field::sparkleInfo);
}

void Application::setCheckFailure(std::optional<SourceFailure> value)
{
    write(&Snapshot::checkFailure, std::move(value), Field::checkFailure);
}

QString Application::displayCurrentVersion() const
{
    std::lock_guard lock(m_mutex);
    return m_state.displayCurrentVersion();
}

std::optional<QString> Application::displayLatestVersion() const
{
    std::lock_guard lock(m_mutex);
    return m_state.displayLatestVersion();
}

Application::ObserverToken Application::addObserver(Observer observer)
{
    return m_observers->add(std::move(observer));
}

std::optional<Application::Source> Application::sourceFromRawValue(const QString& rawValue)
{
    return rawvalues::fromText(kSources, rawValue);
}

QString toRawValue(Application::Source source)
{
    return rawvalues::toText(kSources, source);
}

Update::Source toUpdateSource(Application::Source source)
{
    switch (source) {
    case Application::Source::homebrew:
        return Update::Source::homebrew;
    case Application::Source::sparkle:
        return Update::Source::sparkle;
    case Application::Source::appStore:
        return Update::Source::appStore;
    case Application::Source::other:
        break;
    }
    return Update::Source::other;
}

Application::Source toApplicationSource(Update::Source source)
{
    switch (source) {
    case Update::Source::homebrew:
        return Application::Source::homebrew;
    case Update::Source::sparkle:
        return Application::Source::sparkle;
    case Update::Source::appStore:
        return Application::Source::appStore;
    case Update::Source::other:
        break;
    }
    return Application::Source::other;
}

size_t qHash(Application::Source source, size_t seed)
{
    return qHash(toRawValue(source), seed);
}

size_t qHash(const Application& application, size_t seed)
{
    return qHash(application.id(), seed);
}

QUuid applicationId(const std::shared_ptr<Application>& application)
{
    return application ? application->id() : QUuid();
}

bool sameApplication(const std::shared_ptr<Application>& a, const std::shared_ptr<Application>& b)
{
    if (!a || !b)
        return !a && !b;
    return a->id() == b->id();
}

bool sameApplications(const QList<std::shared_ptr<Application>>& a,
                      const QList<std::shared_ptr<Application>>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), sameApplication);
}

size_t ApplicationIdHash::operator()(const std::shared_ptr<Application>& application) const
{
    return qHash(applicationId(application));
}

} // namespace norvelle
