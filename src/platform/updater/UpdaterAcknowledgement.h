#pragma once

#include "platform/updater/UpdaterReply.h"

namespace norvelle {

// A driver's acknowledgement of a message that ends part of a cycle. Like a reply,
// it counts once and is given on its own when the last copy goes away.
class UpdaterAcknowledgement {
public:
    UpdaterAcknowledgement() = default;
    explicit UpdaterAcknowledgement(std::function<void()> receiver)
        : m_reply([r = std::move(receiver)](const bool&) { r(); }, true)
    {
    }

    void operator()() const { m_reply(true); }

private:
    UpdaterReply<bool> m_reply;
};

} // namespace norvelle
