#pragma once

#include <QtGlobal>
#include <memory>

namespace norvelle {

// What an ObserverToken unregisters from; implemented by ObserverRegistry.
class ObserverRegistration {
public:
    virtual ~ObserverRegistration() = default;
    virtual void remove(quint64 id) = 0;
};

// Keeps one observer registered while alive. Destroying or resetting it
// unregisters the observer; once that returns, the observer is not called again
// (a call already running on another thread is waited for first). Safe when the
// observed object is already gone.
class ObserverToken {
public:
    ObserverToken() = default;
    ObserverToken(std::weak_ptr<ObserverRegistration> registry, quint64 id);
    ~ObserverToken();

    ObserverToken(ObserverToken&& other) noexcept;
    ObserverToken& operator=(ObserverToken&& other) noexcept;
    ObserverToken(const ObserverToken&) = delete;
    ObserverToken& operator=(const ObserverToken&) = delete;

    void reset();
    bool isActive() const { return m_id != 0; }

private:
    std::weak_ptr<ObserverRegistration> m_registry;
    quint64 m_id = 0;
};

} // namespace norvelle
