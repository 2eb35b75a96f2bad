#pragma once

#include "sources/mas/MASService.h"

#include <QHash>
#include <QStringList>
#include <functional>
#include <mutex>
#include <optional>

namespace norvelle::test {

// A MASService that runs nothing: masInfo and checkForUpdate answer from scripted tables, and
// every call is recorded ("masInfo <id> <version>", "loadOutdatedApps", …). Set the tables and
// hooks before the code under test runs.
class FakeMASService : public MASService {
public:
    FakeMASService();

    // An installed App Store application: masInfo answers a record with this appID.
    void install(const QString& bundleIdentifier, const QString& appID);
    // checkForUpdate answers this update for the bundle identifier.
    void offerUpdate(const QString& bundleIdentifier, const Update& update);

    // Run in place of the loads and the upgrade when set; may block or throw.
    std::function<void()> onLoadInstalledApps;
    std::function<void()> onLoadOutdatedApps;
    std::function<void(const QString& appID, const LineHandler& onLine)> onUpgrade;

    QStringList calls() const;
    int count(const QString& call) const;

    void loadInstalledApps() override;
    void loadOutdatedApps() override;
    std::optional<MAS> masInfo(const QString& bundleIdentifier, const QString& currentVersion) const override;
    std::optional<Update> checkForUpdate(const QString& bundleIdentifier) override;
    // Answers at once, inside the call, with what checkForUpdate answers.
    void checkForUpdateAsync(const QString& bundleIdentifier, UpdateHandler handler) override;
    void upgrade(const QString& appID, const LineHandler& onLine) override;

private:
    void record(const QString& call) const;

    mutable std::mutex m_mutex;
    mutable QStringList m_calls;
    QHash<QString, QString> m_installed; // bundle identifier -> appID
    QHash<QString, Update> m_updates;
};

} // namespace norvelle::test
