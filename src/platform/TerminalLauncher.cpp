#include "platform/TerminalLauncher.h"

namespace norvelle {

namespace {

bool isPlainShellCharacter(QChar c)
{
    const char16_t u = c.unicode();
    if ((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9'))
        return true;
    switch (u) {
    case u'@':
    case u'%':
    case u'+':
    case u'=':
    case u':':
    case u',':
    case u'.':
    case u'/':
    case u'_':
    case u'-':
        return true;
    default:
        return false;
    }
}

} // namespace

QString TerminalLauncher::quoteForShell(const QString& argument)
{
    if (argument.isEmpty())
        return QStringLiteral("''");
    bool plain = true;
    for (const QChar c : argument) {
        if (!isPlainShellCharacter(c)) {
            plain = false;
            break;
        }
    }
    if (plain)
        return argument;
    // Inside single quotes every character is literal, the single quote itself excepted: close
    // the quotes, add an escaped quote, open them again.
    QString quoted = argument;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString TerminalLauncher::shellCommandLine(const QStringList& arguments)
{
    QStringList words;
    words.reserve(arguments.size());
    for (const QString& argument : arguments)
        words.append(quoteForShell(argument));
    return words.join(QLatin1Char(' '));
}

QString TerminalLauncher::escapeForAppleScript(const QString& commandLine)
{
    // Backslashes first, so the backslashes added for the quotes stay single.
    QString escaped = commandLine;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return escaped;
}

QString TerminalLauncher::terminalAppleScript(const QString& commandLine)
{
    return QStringLiteral("tell application \"Terminal\"\n"
                          "    if not (exists window 1) then reopen\n"
                          "    activate\n"
                          "    do script \"") +
           escapeForAppleScript(commandLine) + QStringLiteral("\" in window 1\nend tell");
}

} // namespace norvelle
