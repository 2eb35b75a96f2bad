#pragma once

#include "model/AdoptionProgress.h"
#include "model/Application.h"
#include "model/EnvironmentStatus.h"
#include "model/UpdateProgress.h"
#include "viewmodels/ApplicationFilter.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace norvelle {

// The decisions of the sidebar, kept free of widgets so they can be checked by value.
namespace sidebar {

// "All", "Adoptable", "App Store", "Brew", "Ignored", "Sparkle", "Updates".
QString filterTitle(ApplicationFilter filter);
// The symbol the "Filter" menu shows beside the title.
QString filterSymbol(ApplicationFilter filter);
// The list header's label: "Application"/"Applications" under `all`, else the filter's title.
QString headerLabel(ApplicationFilter filter, int filteredCount);

// "Brew", "App Store" or "Brew, App Store"; empty when both tools are present.
QString missingToolNames(const EnvironmentStatus& status);

// Whether the record belongs to the application and is still under way.
bool isUpdateInProgress(const std::optional<UpdateProgress>& progress, const QUuid& applicationId);
bool isAdoptionInProgress(const std::optional<AdoptionProgress>& progress, const QUuid& applicationId);

// The applications with updates split by whether their Homebrew update needs a password.
struct PasswordSplit {
    QList<std::shared_ptr<Application>> applications;
    QList<std::shared_ptr<Application>> sudoRequiredApps;
};
PasswordSplit splitByPassword(const QList<std::shared_ptr<Application>>& applicationsWithUpdates);

// One entry of a row's context menu; an empty text stands for a divider.
struct RowMenuItem {
    enum class Kind { update, divider, toggleIgnore };
    Kind kind = Kind::divider;
    QString text;
    QString symbol;
    bool enabled = false;
    bool operator==(const RowMenuItem& other) const = default;
};
struct RowMenuInput {
    bool hasUpdate = false;
    bool ignored = false;
    bool isUpdating = false;
    bool isAdopting = false;
    bool hasPermission = false;
    bool canUpdate = true;       // the sidebar offers the update action
    bool canToggleIgnore = true; // the sidebar offers the ignore action
};
QList<RowMenuItem> rowMenuItems(const RowMenuInput& input);

} // namespace sidebar
} // namespace norvelle
