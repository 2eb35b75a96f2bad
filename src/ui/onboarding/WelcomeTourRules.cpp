#include "ui/onboarding/WelcomeTourRules.h"

namespace norvelle {

namespace {

bool bothToolsPresent(const EnvironmentStatus& status)
{
    return status.hasHomebrew && status.hasMAS;
}

} // namespace

int WelcomeTourRules::lastPageIndex(const std::optional<EnvironmentStatus>& status)
{
    return !status || bothToolsPresent(*status) ? 4 : 5;
}

WelcomeTourRules::Page WelcomeTourRules::page(int index, const std::optional<EnvironmentStatus>& status)
{
    switch (index) {
    case 0: return Page::welcome;
    case 1: return Page::sources;
    case 2: return Page::adoption;
    case 3: return Page::permissions;
    case 4: return status ? Page::environment : Page::ready;
    default: return index < 0 ? Page::welcome : Page::ready;
    }
}

WelcomeTourRules::NavigationBar WelcomeTourRules::navigationBar(int index,
                                                                const std::optional<EnvironmentStatus>& status,
                                                                bool isCheckingEnvironment)
{
    NavigationBar bar;
    bar.showsBack = index > 0;
    bar.showsToolPair = status && !bothToolsPresent(*status) && index == 4;
    bar.checkLabel = isCheckingEnvironment ? QStringLiteral("Checking...") : QStringLiteral("Check Again");
    bar.checkEnabled = !isCheckingEnvironment;
    bar.forwardFinishes = index >= lastPageIndex(status);
    bar.forwardLabel = bar.forwardFinishes ? QStringLiteral("Get Started") : QStringLiteral("Next");
    return bar;
}

} // namespace norvelle
