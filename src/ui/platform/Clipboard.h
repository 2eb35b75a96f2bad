#pragma once

#include <QString>

namespace norvelle {

// Where "Copy" puts text. Views get one so tests can see what was copied.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Replaces the whole content with `text` as plain text.
    virtual void copyText(const QString& text) = 0;
    // Replaces the selection a middle click pastes, where the desktop has one (X11's).
    virtual void copyToSelection(const QString& /*text*/) {}
};

} // namespace norvelle
