#include "FakeBrewService.h"

#include "TestGate.h"
#include "util/Error.h"

namespace norvelle::test {

FakeBrewService::FakeBrewService() = default;

void FakeBrewService::loadInstalledCasks()
{
    ++m_loads;
    std::optional<QString> failure;
    {
        std::lock_guard lock(m_mutex);
        failure = m_loadFailure;
    }
    if (failure)
        throw Error(*failure);
}

void FakeBrewService::adoptCask(const QString& token, const LineHandler& handler)
{
    QList<QPair<QString, double>> lines;
    std::optional<QString> failure;
    std::shared_ptr<TestGate> gate;
    {
        std::lock_guard lock(m_mutex);
        m_adoptedTokens.append(token);
        lines = m_adoptionLines;
        failure = m_adoptionFailure;
        gate = m_adoptionGate;
    }
    for (const auto& [line, fraction] : lines)
        handler(line, fraction);
    if (gate)
        gate->pass();
    if (failure)
        throw Error(*failure);
}

Cask FakeBrewService::verifyCustomCask(const QString& caskName, const std::optional<QString>& tapName,
                                       const QString& applicationPath)
{
    std::lock_guard lock(m_mutex);
    m_customCaskCalls.append(caskName + QLatin1Char('|') + tapName.value_or(QStringLiteral("-")) +
                             QLatin1Char('|') + applicationPath);
    if (m_customCaskFailure)
        throw Error(*m_customCaskFailure);
    Cask cask = m_customCask.value_or(Cask{});
    cask.caskName = caskName;
    return cask;
}

void FakeBrewService::setAdoptionLines(QList<QPair<QString, double>> lines)
{
    std::lock_guard lock(m_mutex);
    m_adoptionLines = std::move(lines);
}

void FakeBrewService::setAdoptionFailure(std::optional<QString> description)
{
    std::lock_guard lock(m_mutex);
    m_adoptionFailure = std::move(description);
}

void FakeBrewService::setLoadFailure(std::optional<QString> description)
{
    std::lock_guard lock(m_mutex);
    m_loadFailure = std::move(description);
}

void FakeBrewService::setAdoptionGate(std::shared_ptr<TestGate> gate)
{
    std::lock_guard lock(m_mutex);
    m_adoptionGate = std::move(gate);
}

void FakeBrewService::setCustomCask(std::optional<Cask> cask, std::optional<QString> failure)
{
    std::lock_guard lock(m_mutex);
    m_customCask = std::move(cask);
    m_customCaskFailure = std::move(failure);
}

QStringList FakeBrewService::adoptedTokens() const
{
    std::lock_guard lock(m_mutex);
    return m_adoptedTokens;
}

QStringList FakeBrewService::customCaskCalls() const
{
    std::lock_guard lock(m_mutex);
    return m_customCaskCalls;
}

} // namespace norvelle::test
