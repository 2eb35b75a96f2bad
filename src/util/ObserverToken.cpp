#include "util/ObserverToken.h"

#include <utility>

namespace norvelle {

ObserverToken::ObserverToken(std::weak_ptr<ObserverRegistration> registry, quint64 id)
    : m_registry(std::move(registry)), m_id(id)
{
}

ObserverToken::~ObserverToken()
{
    reset();
}

ObserverToken::ObserverToken(ObserverToken&& other) noexcept
    : m_registry(std::move(other.m_registry)), m_id(std::exchange(other.m_id, 0))
{
}

ObserverToken& ObserverToken::operator=(ObserverToken&& other) noexcept
{
    if (this != &other) {
        reset();
        m_registry = std::move(other.m_registry);
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

void ObserverToken::reset()
{
    const quint64 id = std::exchange(m_id, 0);
    if (id == 0)
        return;
    if (const auto registry = m_registry.lock())
        registry->remove(id);
    m_registry.reset();
}

} // namespace norvelle
