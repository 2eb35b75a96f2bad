#pragma once

#include "util/Error.h"

namespace norvelle {

// A child process that could not be started (no such file, not executable, exec failure).
// The description is the platform's own text.
class ProcessLaunchError : public Error {
public:
    explicit ProcessLaunchError(const QString& description) : Error(description) {}
};

} // namespace norvelle
