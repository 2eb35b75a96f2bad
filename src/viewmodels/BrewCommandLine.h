#pragma once

#include "model/Cask.h"

#include <QString>
#include <optional>

namespace norvelle {

// The `brew` command lines the user is offered to copy or to run in a terminal. A cask name
// comes from outside (the catalogue, a receipt, typed text), so it only ever reaches a command
// line after it has passed as a Homebrew token, and then quoted for the shell; a valid token
// needs no quotes, so the command reads exactly as Homebrew's own documentation writes it.
class BrewCommandLine {
public:
    // A cask token, optionally qualified by its tap ("user/repo/token").
    static bool isValidCaskToken(const QString& token);

    // "brew upgrade --cask <token>"; empty without a cask or with an invalid token.
    static QString upgrade(const std::optional<Cask>& cask);
    // "brew install --cask --adopt <token>"; empty without a cask or with an invalid token.
    static QString adopt(const std::optional<Cask>& cask);

private:
    static QString build(const QString& prefix, const std::optional<Cask>& cask);
};

} // namespace norvelle
