#pragma once

#include "sources/brew/BrewService.h"

#include <QHash>
#include <QStringList>
#include <functional>
#include <mutex>
#include <optional>

namespace norvelle::test {

// A BrewService that runs nothing: its lookups answer from scripted tables and every call is
// recorded ("hasCask <path>", "loadOutdatedCasks", …). Set the tables and hooks before the code
// under test runs; the recording and the tables are thread-safe while it runs.
class FakeBrewService : public BrewService {
public:
    FakeBrewService();

    // The cask Homebrew manages at this path (caskInfo answers `cask`, which may be none).
    void manage(const QString& path, std::optional<Cask> cask);
    // matchCaskByTrash finds a cask for this bundle identifier; caskInfo then answers `cask`.
    void matchTrash(const QString& bundleIdentifier, std::optional<Cask> cask);
    // findAdoptableCask answers this cask for the application name.
    void offerAdoptable(const QString& name, const Cask& cask);
    // checkUpdate answers this update for the path.
    void offerUpdate(const QString& path, const Update& update);

    // Run in place of the loads and the upgrade when set; may block or throw.
    std::function<void()> onLoadInstalledCasks;
    std::function<void()> onLoadOutdatedCasks;
    std::function<void(const QString& token, const LineHandler& progress)> onUpgradeCask;
    std::function<void(const QString& token, const LineHandler& handler)> onAdoptCask;
    // Without it, verifyCustomCask answers an empty cask named as typed.
    std::function<Cask(const QString& caskName, const std::optional<QString>& tapName,
                       const QString& applicationPath)>
        onVerifyCustomCask;

    QStringList calls() const;
    int count(const QString& call) const;

    void loadInstalledCasks() override;
    void loadOutdatedCasks() override;
    bool hasCask(const QString& path) const override;
    std::optional<Cask> caskInfo(const QString& path) const override;
    bool matchCaskByTrash(const QString& path, const QString& bundleIdentifier) override;
    std::optional<Update> checkUpdate(const QString& path, const QString& currentVersion) const override;
    std::optional<Cask> findAdoptableCask(const QString& name, const QString& path) const override;
    QStringList upgradeCask(const QString& token, const LineHandler& progress) override;
    // Recorded as "adoptCask <token>" and "verifyCustomCask <name> <tap or -> <path>".
    void adoptCask(const QString& token, const LineHandler& handler) override;
    Cask verifyCustomCask(const QString& caskName, const std::optional<QString>& tapName,
                          const QString& applicationPath) override;

private:
    void record(const QString& call) const;

    mutable std::mutex m_mutex;
    mutable QStringList m_calls;
    QHash<QString, std::optional<Cask>> m_managed;
    QHash<QString, std::optional<Cask>> m_trash;
    QHash<QString, Cask> m_adoptable;
    QHash<QString, Update> m_updates;
};

} // namespace norvelle::test
