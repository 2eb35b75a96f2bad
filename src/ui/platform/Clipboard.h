#pragma once

#include <QString>

namespace norvelle {

// Where "Copy" puts text. Views get one so tests can see what was copied.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Replaces the whole content with `text` as plain text.
    virtual void copyText(const QString& text) = 0;
};

} // namespace norvelle
