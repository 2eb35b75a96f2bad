#pragma once

#include <QString>
#include <QStringView>

namespace norvelle {

// The one check every cask token passes before it becomes an argument of `brew`, whether it came
// from the catalogue, from `brew` itself or from the user: a token that could read as an option
// ("-…") or reach out of the Caskroom ("..") never gets that far.
class CaskToken {
public:
    // Far longer than any real token or full name.
    static constexpr qsizetype maximumLength = 200;

    // Homebrew's token grammar: a lowercase ASCII letter or digit, then lowercase letters, digits
    // and "-", "+", ".", "@", "_". Also the full name of a tapped cask, "user/repo/token". At most
    // maximumLength characters.
    static bool isValid(QStringView token);

    // A tap's name, "user/repo": each part an ASCII letter or digit, then letters, digits, "-",
    // ".", "_" (Homebrew lowercases taps, so either letter case is accepted).
    static bool isValidTap(QStringView tap);

    // Logs "Invalid cask token: <token>" and throws norvelle::Error saying so when the token is
    // not valid.
    static void require(const QString& token);

private:
    CaskToken() = delete;
};

} // namespace norvelle
