#pragma once

#include "util/Error.h"

namespace norvelle {

// The cask catalogue could not be read (no answer, an error status, a body that is no
// catalogue) although `brew` listed the installed casks: a load that throws it has mapped
// them all, and only the catalogue's facts are missing or stale. The description says why.
class CatalogueError : public Error {
public:
    explicit CatalogueError(QString description) : Error(std::move(description)) {}
};

} // namespace norvelle
