#pragma once

#include "platform/TerminalLauncher.h"

#include <QStringList>

namespace norvelle::test {

// Records every command line it is handed and answers with a set result.
class FakeTerminalLauncher : public TerminalLauncher {
public:
    Result launch(const QString& commandLine) override
    {
        m_commandLines.append(commandLine);
        return m_result;
    }

    void setResult(const Result& result) { m_result = result; }
    QStringList commandLines() const { return m_commandLines; }

private:
    Result m_result = Result::launched();
    QStringList m_commandLines;
};

} // namespace norvelle::test
