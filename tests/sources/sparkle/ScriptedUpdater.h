#pragma once

#include "platform/updater/Updater.h"
#include "platform/updater/UpdaterDelegate.h"
#include "platform/updater/UpdaterFactory.h"
#include "platform/updater/UpdaterUserDriver.h"

#include <QCoreApplication>
#include <QList>
#include <QMetaObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace norvelle::test {

// One message of a scripted update cycle.
struct ScriptedStep {
    enum class Kind {
        permission,
        checkStarted,
        found,
        notFound,
        error,
        downloadInitiated,
        extractionStarted,
        extractionProgress,
        readyToInstall,
        installing,
        installed,
        finished, // cycleFinished
        hold,     // the cycle waits here until ScriptedUpdaterRecord::resume()
    };
    Kind kind;
    AppcastItem item{};  // found
    QString errorText{}; // error
};

// What the fake updaters were asked and answered; shared between factory and test.
struct ScriptedUpdaterRecord {
    int created = 0;
    int destroyed = 0;
    QStringList bundlePaths;
    QList<std::optional<QString>> feeds; // the delegate's answer at each start
    QList<UpdateChoice> choices;
    QList<QPair<bool, bool>> permissions; // automatic checks, system profile
    int acknowledgements = 0;
    bool held = false;
    std::function<void()> resume;
};

// An updater that plays a script instead of fetching anything. Like the real one it
// sends each message on the main thread, goes on after a question only when it is
// answered (a dropped reply answers "dismiss"), and sends nothing once destroyed.
// Unlike the shared FakeUpdaterEngine, it keeps the answers in a record that outlives
// the updater (the Sparkle drivers destroy theirs when the cycle finishes), and it can
// hold a cycle at a chosen step.
class ScriptedUpdater : public Updater {
public:
    struct Script {
        std::optional<QString> startError;
        bool refuseCheck = false;
        QList<ScriptedStep> steps;
    };

    ScriptedUpdater(UpdaterUserDriver& driver, UpdaterDelegate* delegate, Script script,
                    std::shared_ptr<ScriptedUpdaterRecord> record)
        : m_driver(driver), m_delegate(delegate), m_script(std::move(script)), m_record(std::move(record))
    {
    }
    ~ScriptedUpdater() override
    {
        *m_alive = false;
        ++m_record->destroyed;
    }

    void start() override
    {
        m_record->feeds.append(m_delegate ? m_delegate->feedUrlString() : std::nullopt);
        if (m_script.startError)
            throw UpdaterError(UpdaterError::Kind::invalidFeed, *m_script.startError);
        m_started = true;
    }
    bool checkForUpdates() override
    {
        if (!m_started || m_script.refuseCheck || m_running)
            return false;
        m_running = true;
        play(0);
        return true;
    }
    bool canCheckForUpdates() const override { return m_started && !m_running; }
    bool sessionInProgress() const override { return m_running; }
    QUrl feedUrl() const override { return {}; }

private:
    void play(qsizetype index)
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [this, index, alive = m_alive] {
                if (*alive && index < m_script.steps.size())
                    run(m_script.steps.at(index), index + 1);
            },
            Qt::QueuedConnection);
    }

    std::function<void()> continueAt(qsizetype next)
    {
        return [this, next, alive = m_alive] {
            if (*alive)
                play(next);
        };
    }

    UpdaterReply<UpdateChoice> choice(qsizetype next)
    {
        return UpdaterReply<UpdateChoice>(
            [this, go = continueAt(next), alive = m_alive](const UpdateChoice& c) {
                if (*alive)
                    m_record->choices.append(c);
                go();
            },
            UpdateChoice::dismiss);
    }

    UpdaterAcknowledgement acknowledgement(qsizetype next)
    {
        return UpdaterAcknowledgement([this, go = continueAt(next), alive = m_alive] {
            if (*alive)
                ++m_record->acknowledgements;
            go();
        });
    }

    void run(const ScriptedStep& step, qsizetype next)
    {
        using Kind = ScriptedStep::Kind;
        switch (step.kind) {
        case Kind::permission:
            m_driver.askUpdatePermission(UpdaterReply<UpdatePermission>(
                [this, go = continueAt(next), alive = m_alive](const UpdatePermission& r) {
                    if (*alive)
                        m_record->permissions.append({r.automaticUpdateChecks, r.sendSystemProfile});
                    go();
                },
                UpdatePermission{true, true}));
            return;
        case Kind::found:
            m_driver.updateFound(step.item, choice(next));
            return;
        case Kind::notFound:
            m_driver.updateNotFound(acknowledgement(next));
            return;
        case Kind::error:
            m_driver.updaterFailed(UpdaterError(UpdaterError::Kind::feedFailed, step.errorText),
                                   acknowledgement(next));
            return;
        case Kind::readyToInstall:
            m_driver.readyToInstall(choice(next));
            return;
        case Kind::installed:
            m_driver.installed(false, acknowledgement(next));
            return;
        case Kind::hold:
            m_record->held = true;
            m_record->resume = [this, next, alive = m_alive] {
                if (*alive) {
                    m_record->held = false;
                    play(next);
                }
            };
            return;
        case Kind::checkStarted:
            m_driver.checkStarted([] {});
            break;
        case Kind::downloadInitiated:
            m_driver.downloadStarted([] {});
            break;
        case Kind::extractionStarted:
            m_driver.extractionStarted();
            break;
        case Kind::extractionProgress:
            m_driver.extractionProgressed(0.5);
            break;
        case Kind::installing:
            m_driver.installing(true);
            break;
        case Kind::finished:
            m_running = false;
            m_driver.cycleFinished();
            break;
        }
        play(next);
    }

    UpdaterUserDriver& m_driver;
    UpdaterDelegate* m_delegate;
    Script m_script;
    std::shared_ptr<ScriptedUpdaterRecord> m_record;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    bool m_started = false;
    bool m_running = false;
};

// Makes fake updaters that all play the current script.
class ScriptedUpdaterFactory : public UpdaterFactory {
public:
    ScriptedUpdater::Script script;
    std::shared_ptr<ScriptedUpdaterRecord> record = std::make_shared<ScriptedUpdaterRecord>();

    std::unique_ptr<Updater> create(const QString& bundlePath, UpdaterUserDriver& driver,
                                    UpdaterDelegate* delegate) const override
    {
        ++record->created;
        record->bundlePaths.append(bundlePath);
        return std::make_unique<ScriptedUpdater>(driver, delegate, script, record);
    }
};

inline ScriptedUpdater::Script script(QList<ScriptedStep> steps,
                                      std::optional<QString> startError = std::nullopt)
{
    ScriptedUpdater::Script s;
    s.steps = std::move(steps);
    s.startError = std::move(startError);
    return s;
}

inline AppcastItem appcastItem(const QString& display, const QString& version)
{
    AppcastItem item;
    item.displayVersionString = display;
    item.versionString = version;
    return item;
}

// The message sequences of a typical cycle.
inline QList<ScriptedStep> installSequence(const AppcastItem& item = {})
{
    using K = ScriptedStep::Kind;
    return {{K::permission},        {K::checkStarted},      {K::found, item},
            {K::downloadInitiated}, {K::extractionStarted}, {K::extractionProgress},
            {K::readyToInstall},    {K::installing},        {K::installed},
            {K::finished}};
}

} // namespace norvelle::test

Q_DECLARE_METATYPE(norvelle::test::ScriptedUpdater::Script)
