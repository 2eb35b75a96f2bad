#pragma once

#include "platform/updater/AppcastItem.h"
#include "platform/updater/Updater.h"
#include "platform/updater/UpdaterError.h"
#include "platform/updater/UpdaterFactory.h"
#include "platform/updater/UpdaterUserDriver.h"

#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace norvelle::test {

// A stand-in for the appcast updater that plays a scripted sequence of driver
// messages when checkForUpdates() is called: one message per main-thread event, in
// order, and after a message that carries a reply or acknowledgement only once the
// driver has answered it (or dropped it). The answers are recorded.
class FakeUpdaterEngine : public Updater {
public:
    struct Step {
        enum class Kind {
            permissionRequest,
            checkStarted,
            checkDismissed,
            updateFound,
            updateNotFound,
            updaterError,
            downloadInitiated,
            expectedContentLength,
            receivedData,
            extractionStarted,
            extractionProgress,
            readyToInstall,
            installing,
            installed,
            dismissInstallation,
        };
        Kind kind;
        AppcastItem item;
        UpdaterError error{UpdaterError::Kind::feedFailed, QString()};
        quint64 length = 0;
        double fraction = 0;

        static Step of(Kind kind) { return Step{kind, {}}; }
        static Step found(const AppcastItem& item) { return Step{Kind::updateFound, item}; }
        static Step failed(const UpdaterError& error);
        static Step bytes(Kind kind, quint64 length); // expectedContentLength or receivedData
        static Step extraction(double fraction);
    };
    using Script = QList<Step>;

    FakeUpdaterEngine(UpdaterUserDriver& driver, UpdaterDelegate* delegate, Script script,
                      std::optional<UpdaterError> startError = std::nullopt);

    void start() override;
    bool checkForUpdates() override;
    bool canCheckForUpdates() const override { return m_started && !m_playing; }
    bool sessionInProgress() const override { return m_playing; }
    QUrl feedUrl() const override { return m_feedUrl; }

    // What the driver answered, in order.
    QList<UpdateChoice> choices;
    QList<UpdatePermission> permissionResponses;
    int acknowledgements = 0;
    int checkCalls = 0;
    std::optional<QString> delegateFeedUrl; // what the delegate answered at start()

private:
    void playFrom(qsizetype index);

    UpdaterUserDriver& m_driver;
    UpdaterDelegate* m_delegate;
    Script m_script;
    std::optional<UpdaterError> m_startError;
    QUrl m_feedUrl;
    bool m_started = false;
    bool m_playing = false;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    QObject m_context; // queued steps die with the fake
};

// Hands out FakeUpdaterEngines: scripts are used in order, the last one again for
// every later updater. Records every updater it made.
class FakeUpdaterFactory : public UpdaterFactory {
public:
    QList<FakeUpdaterEngine::Script> scripts;
    std::optional<UpdaterError> startError;

    struct Created {
        QString bundlePath;
        UpdaterDelegate* delegate;
        FakeUpdaterEngine* updater; // valid while the caller keeps it
    };
    mutable QList<Created> created;

    std::unique_ptr<Updater> create(const QString& bundlePath, UpdaterUserDriver& driver,
                                    UpdaterDelegate* delegate) const override;
};

} // namespace norvelle::test
