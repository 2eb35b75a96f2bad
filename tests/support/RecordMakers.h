#pragma once

#include "model/Cask.h"
#include "model/Update.h"

namespace norvelle::test {

inline Update makeUpdate(const QString& version, Update::Source source = Update::Source::homebrew)
{
    Update update;
    update.latestVersion = version;
    update.source = source;
    return update;
}

// An installed cask at 1.0 whose catalogue offers 2.0.
inline Cask makeCask(const QString& token, bool adoptable = false)
{
    Cask cask;
    cask.caskName = token;
    cask.currentVersion = QStringLiteral("1.0");
    cask.latestVersion = QStringLiteral("2.0");
    cask.adoptable = adoptable;
    return cask;
}

} // namespace norvelle::test
