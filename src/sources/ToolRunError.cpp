#include "sources/ToolRunError.h"

namespace norvelle {

ToolRunError::ToolRunError(Case c, const QString& text, const QString& reason)
    : NorvelleError(c, text), m_reason(reason)
{
}

ToolRunError::ToolRunError(Case c, const QString& text, const QString& reason, const QString& description)
    : NorvelleError(c, text, description), m_reason(reason)
{
}

ToolRunError ToolRunError::describedByReason() const
{
    ToolRunError described(errorCase(), text(), m_reason, m_reason);
    described.withToolOutput(toolOutput());
    return described;
}

} // namespace norvelle
