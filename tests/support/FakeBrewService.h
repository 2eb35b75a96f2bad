#pragma once

#include "sources/brew/BrewService.h"

#include <QList>
#include <QPair>
#include <QStringList>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

namespace norvelle::test {

class TestGate;

// A Homebrew adapter that runs no `brew`: adoption streams scripted lines, custom casks
// come from a set answer, and each operation can be told to fail. Calls are recorded.
class FakeBrewService : public BrewService {
public:
    FakeBrewService();

    void loadInstalledCasks() override;
    void adoptCask(const QString& token, const LineHandler& handler) override;
    Cask verifyCustomCask(const QString& caskName, const std::optional<QString>& tapName,
                          const QString& applicationPath) override;

    // Lines (with their fractions) that adoptCask hands to its handler, in order.
    void setAdoptionLines(QList<QPair<QString, double>> lines);
    // adoptCask throws this after its lines; loadInstalledCasks throws its own.
    void setAdoptionFailure(std::optional<QString> description);
    void setLoadFailure(std::optional<QString> description);
    // adoptCask waits here after its lines, before it returns or fails.
    void setAdoptionGate(std::shared_ptr<TestGate> gate);
    // verifyCustomCask answers this cask (with the typed name as caskName), or throws.
    void setCustomCask(std::optional<Cask> cask, std::optional<QString> failure = std::nullopt);

    QStringList adoptedTokens() const;
    // "name|tap|path" per verifyCustomCask call; an absent tap shows as "-".
    QStringList customCaskCalls() const;
    int loadCount() const { return m_loads.load(); }

private:
    mutable std::mutex m_mutex;
    QList<QPair<QString, double>> m_adoptionLines;
    std::optional<QString> m_adoptionFailure;
    std::optional<QString> m_loadFailure;
    std::shared_ptr<TestGate> m_adoptionGate;
    std::optional<Cask> m_customCask;
    std::optional<QString> m_customCaskFailure;
    QStringList m_adoptedTokens;
    QStringList m_customCaskCalls;
    std::atomic<int> m_loads{0};
};

} // namespace norvelle::test
