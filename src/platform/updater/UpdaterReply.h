#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace norvelle {

// The answer a user driver gives to a question of the updater. It may be called from
// any thread, at once or later; only the first answer counts. Copies share one
// answer. When the last copy goes away unanswered, the fallback is given, so a
// driver that drops a question cannot leave an update cycle waiting for ever.
template <typename T> class UpdaterReply {
public:
    UpdaterReply() = default;
    UpdaterReply(std::function<void(const T&)> receiver, T fallback)
        : m_state(std::make_shared<State>(std::move(receiver), std::move(fallback)))
    {
    }

    void operator()(const T& value) const
    {
        if (m_state)
            m_state->deliver(value);
    }

private:
    struct State {
        State(std::function<void(const T&)> r, T f) : receiver(std::move(r)), fallback(std::move(f)) {}
        ~State() { deliver(fallback); }
        State(const State&) = delete;
        State& operator=(const State&) = delete;

        void deliver(const T& value)
        {
            std::function<void(const T&)> once;
            {
                std::lock_guard lock(mutex);
                once = std::exchange(receiver, nullptr);
            }
            if (once)
                once(value);
        }

        std::mutex mutex;
        std::function<void(const T&)> receiver;
        T fallback;
    };
    std::shared_ptr<State> m_state;
};

} // namespace norvelle
