#pragma once

#include "model/NorvelleError.h"

#include <optional>

namespace norvelle::test {

// The case of the NorvelleError that fn throws; nothing when it returns normally.
// Any other exception passes through and fails the test.
template <typename F> std::optional<NorvelleError::Case> errorCaseOf(F&& fn)
{
    try {
        fn();
    } catch (const NorvelleError& e) {
        return e.errorCase();
    }
    return std::nullopt;
}

// The description of the NorvelleError that fn throws; empty when it returns normally.
template <typename F> QString descriptionOf(F&& fn)
{
    try {
        fn();
    } catch (const NorvelleError& e) {
        return e.description();
    }
    return {};
}

} // namespace norvelle::test
