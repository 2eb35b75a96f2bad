#pragma once

#include "ui/platform/Clipboard.h"

namespace norvelle {

// The desktop's clipboard (QClipboard): cleared first, so no richer format of an earlier copy
// stays beside the text, then set to the plain text.
class SystemClipboard : public Clipboard {
public:
    void copyText(const QString& text) override;
    void copyToSelection(const QString& text) override;
};

} // namespace norvelle
