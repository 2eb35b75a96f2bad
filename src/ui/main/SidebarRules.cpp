#include "ui/main/SidebarRules.h"

namespace norvelle::sidebar {

QString filterTitle(ApplicationFilter filter)
{
    switch (filter) {
    case ApplicationFilter::all:
        return QStringLiteral("All");
    case ApplicationFilter::adoptable:
        return QStringLiteral("Adoptable");
    case ApplicationFilter::appStore:
        return QStringLiteral("App Store");
    case ApplicationFilter::brew:
        return QStringLiteral("Brew");
    case ApplicationFilter::ignored:
        return QStringLiteral("Ignored");
    case ApplicationFilter::sparkle:
        return QStringLiteral("Sparkle");
    case ApplicationFilter::updates:
        return QStringLiteral("Updates");
    }
    return {};
}

QString filterSymbol(ApplicationFilter filter)
{
    switch (filter) {
    case ApplicationFilter::all:
        return QStringLiteral("list.bullet");
    case ApplicationFilter::adoptable:
        return QStringLiteral("shippingbox.and.arrow.backward");
    case ApplicationFilter::appStore:
        return QStringLiteral("bag");
    case ApplicationFilter::brew:
        return QStringLiteral("shippingbox");
    case ApplicationFilter::ignored:
        return QStringLiteral("nosign");
    case ApplicationFilter::sparkle:
        return QStringLiteral("sparkles");
    case ApplicationFilter::updates:
        return QStringLiteral("arrow.up.circle");
    }
    return {};
}

QString headerLabel(ApplicationFilter filter, int filteredCount)
{
    if (filter != ApplicationFilter::all)
        return filterTitle(filter);
    return QStringLiteral("Application%1").arg(filteredCount == 1 ? QString() : QStringLiteral("s"));
}

QString missingToolNames(const EnvironmentStatus& status)
{
    if (!status.hasHomebrew && !status.hasMAS)
        return QStringLiteral("Brew, App Store");
    if (!status.hasHomebrew)
        return QStringLiteral("Brew");
    if (!status.hasMAS)
        return QStringLiteral("App Store");
    return {};
}

bool isUpdateInProgress(const std::optional<UpdateProgress>& progress, const QUuid& applicationId)
{
    if (!progress || applicationId != norvelle::applicationId(progress->application))
        return false;
    using S = UpdateProgress::Status;
    return progress->status == S::queued || progress->status == S::downloading ||
           progress->status == S::installing || progress->status == S::verifying;
}

bool isAdoptionInProgress(const std::optional<AdoptionProgress>& progress, const QUuid& applicationId)
{
    if (!progress || applicationId != norvelle::applicationId(progress->application))
        return false;
    using S = AdoptionProgress::Status;
    return progress->status == S::queued || progress->status == S::downloading ||
           progress->status == S::adopting || progress->status == S::verifying;
}

PasswordSplit splitByPassword(const QList<std::shared_ptr<Application>>& applicationsWithUpdates)
{
    PasswordSplit split;
    for (const auto& application : applicationsWithUpdates) {
        const bool needsPassword = application->read([](const Application::Snapshot& state) {
            return state.source.contains(Application::Source::homebrew) && state.cask &&
                   state.cask->requiresSudo;
        });
        (needsPassword ? split.sudoRequiredApps : split.applications).append(application);
    }
    return split;
}

QList<RowMenuItem> rowMenuItems(const RowMenuInput& input)
{
    using Kind = RowMenuItem::Kind;
    QList<RowMenuItem> items;
    const bool busy = input.isUpdating || input.isAdopting;
    if (input.canUpdate && input.hasUpdate && !input.ignored) {
        items.append(
            {Kind::update,
             input.hasPermission ? QStringLiteral("Update") : QStringLiteral("Update (Permission Required)"),
             QStringLiteral("arrow.up"), !busy && input.hasPermission});
        items.append({Kind::divider, {}, {}, false});
    }
    if (input.canToggleIgnore) {
        items.append({Kind::toggleIgnore,
                      input.ignored ? QStringLiteral("Unignore App") : QStringLiteral("Ignore App"),
                      input.ignored ? QStringLiteral("checkmark.circle") : QStringLiteral("nosign"), !busy});
    }
    return items;
}

} // namespace norvelle::sidebar
