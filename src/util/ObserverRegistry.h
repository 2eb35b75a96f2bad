#pragma once

#include "util/ObserverToken.h"

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace norvelle {

// A thread-safe list of callbacks for objects that are not QObjects. notify()
// runs the callbacks on the caller's thread with no lock of the list held, so a
// callback may read the observed object, change it, or add and remove observers.
// Once remove() returns, the removed callback is not running on another thread
// and never starts again, so it may capture objects that die right after their
// token. A callback therefore must not block waiting for a thread that may be
// removing that same callback. Callbacks must not throw.
template <typename Event>
class ObserverRegistry : public ObserverRegistration,
                         public std::enable_shared_from_this<ObserverRegistry<Event>> {
public:
    using Callback = std::function<void(Event)>;

    ObserverToken add(Callback callback)
    {
        auto entry = std::make_shared<Entry>();
        entry->callback = std::move(callback);
        std::lock_guard lock(m_mutex);
        entry->id = ++m_lastId;
        m_entries.push_back(entry);
        return ObserverToken(this->weak_from_this(), entry->id);
    }

    void remove(quint64 id) override
    {
        std::shared_ptr<Entry> removed;
        {
            std::lock_guard lock(m_mutex);
            for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
                if ((*it)->id == id) {
                    removed = *it;
                    m_entries.erase(it);
                    break;
                }
            }
        }
        if (!removed)
            return;
        // No call starts from now on; wait for the ones running on other threads.
        // A callback that removes itself is running on this thread and is not waited for.
        const auto self = std::this_thread::get_id();
        std::unique_lock lock(removed->mutex);
        removed->active = false;
        removed->finished.wait(lock, [&] {
            return std::all_of(removed->running.begin(), removed->running.end(),
                               [&](std::thread::id thread) { return thread == self; });
        });
    }

    void notify(Event event)
    {
        std::vector<std::shared_ptr<Entry>> entries;
        {
            std::lock_guard lock(m_mutex);
            entries = m_entries;
        }
        for (const auto& entry : entries) {
            if (!entry->begin())
                continue;
            try {
                entry->callback(event);
            } catch (...) {
                entry->end();
                throw;
            }
            entry->end();
        }
    }

private:
    struct Entry {
        quint64 id = 0;
        Callback callback;
        std::mutex mutex;
        std::condition_variable finished;
        std::vector<std::thread::id> running;
        bool active = true;

        bool begin()
        {
            std::lock_guard lock(mutex);
            if (active)
                running.push_back(std::this_thread::get_id());
            return active;
        }

        void end()
        {
            {
                std::lock_guard lock(mutex);
                running.erase(std::find(running.begin(), running.end(), std::this_thread::get_id()));
            }
            finished.notify_all();
        }
    };

    std::mutex m_mutex;
    std::vector<std::shared_ptr<Entry>> m_entries;
    quint64 m_lastId = 0;
};

} // namespace norvelle
