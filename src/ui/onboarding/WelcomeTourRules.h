#pragma once

#include "model/EnvironmentStatus.h"

#include <QString>
#include <optional>

namespace norvelle {

// Which page the welcome tour shows and what its navigation bar offers, from the page index,
// the last environment check and whether a check runs.
class WelcomeTourRules {
public:
    enum class Page { welcome, sources, adoption, permissions, environment, ready };

    struct NavigationBar {
        bool showsBack = false;
        // "Skip For Now" and the check button, on the environment page while a tool is missing.
        bool showsToolPair = false;
        QString checkLabel;   // "Check Again" or "Checking..."
        bool checkEnabled = true;
        QString forwardLabel; // "Next" or "Get Started"
        bool forwardFinishes = false;
    };

    // 5 while the last check found brew or mas missing, else 4.
    static int lastPageIndex(const std::optional<EnvironmentStatus>& status);
    // Page 4 is the environment page once a status is known, else the closing page; past it
    // the closing page.
    static Page page(int index, const std::optional<EnvironmentStatus>& status);
    // On the last page, or past it (a tour reopened on page 5 after a check found both tools),
    // the forward button finishes the tour: a "Next" there would lead nowhere.
    static NavigationBar navigationBar(int index, const std::optional<EnvironmentStatus>& status,
                                       bool isCheckingEnvironment);

private:
    WelcomeTourRules() = delete;
};

} // namespace norvelle
