#pragma once

#include "model/NorvelleError.h"

namespace norvelle {

// A run of `brew` or `mas` that did not succeed: the tool family's NorvelleError, whose
// description stays the family's fixed message, with what happened in words: "mas list timed
// out after 120s", "… crashed", "… could not be started: <why>", "… exited with status 3: <the
// first line of its standard error>".
class ToolRunError : public NorvelleError {
public:
    ToolRunError(Case c, const QString& text, const QString& reason);

    QString reason() const { return m_reason; }
    // The same failure described by what happened, for a source that tells the user why it could
    // not be read; the fixed message would say only that the tool failed.
    ToolRunError describedByReason() const;

private:
    ToolRunError(Case c, const QString& text, const QString& reason, const QString& description);

    QString m_reason;
};

} // namespace norvelle
