#pragma once

#include "util/Error.h"

#include <QString>

namespace norvelle {

// Why the coordinator refused or could not start an operation: one fixed
// user-facing message per case, no payload.
class CoordinatorError : public Error {
public:
    enum class Case {
        discovering,
        updating,
        adopting,
        noApplicationsFound,
        applicationNotFound,
        noUpdateAvailable,
        notAdoptable,
        environmentNotReady,
        homebrewNotAvailable,
        masNotAvailable,
    };

    static constexpr const char* homebrewHomePage = "https://brew.sh";
    static constexpr const char* masHomePage = "https://github.com/mas-cli/mas";

    explicit CoordinatorError(Case c);

    Case errorCase() const { return m_case; }
    static QString message(Case c);

    static CoordinatorError discovering() { return CoordinatorError(Case::discovering); }
    static CoordinatorError updating() { return CoordinatorError(Case::updating); }
    static CoordinatorError adopting() { return CoordinatorError(Case::adopting); }
    static CoordinatorError noApplicationsFound() { return CoordinatorError(Case::noApplicationsFound); }
    static CoordinatorError applicationNotFound() { return CoordinatorError(Case::applicationNotFound); }
    static CoordinatorError noUpdateAvailable() { return CoordinatorError(Case::noUpdateAvailable); }
    static CoordinatorError notAdoptable() { return CoordinatorError(Case::notAdoptable); }
    static CoordinatorError environmentNotReady() { return CoordinatorError(Case::environmentNotReady); }
    static CoordinatorError homebrewNotAvailable() { return CoordinatorError(Case::homebrewNotAvailable); }
    static CoordinatorError masNotAvailable() { return CoordinatorError(Case::masNotAvailable); }

private:
    Case m_case;
};

} // namespace norvelle
