#include "ui/detail/DetailRules.h"

#include <QUuid>

namespace norvelle {

bool DetailRules::belongsTo(const std::shared_ptr<Application>& owner, const Application::Snapshot& application)
{
    return owner && owner->id() == application.id;
}

bool DetailRules::hasHomebrew(const std::optional<EnvironmentStatus>& environment)
{
    return environment && environment->hasHomebrew;
}

DetailRules::Panels DetailRules::panels(const Application::Snapshot& application,
                                        const std::optional<EnvironmentStatus>& environment)
{
    Panels panels;
    const bool brew = hasHomebrew(environment);
    panels.brewAvailable = application.cask && application.cask->adoptable && brew;
    panels.releaseNotes = application.update && application.update->source != Update::Source::other;
    panels.manualCaskEntry = brew && !application.ignored && !application.update
                             && (!application.cask || !application.cask->adopted);
    return panels;
}

DetailRules::HeaderInputs DetailRules::headerInputs(const Application::Snapshot& application, bool isIgnoring,
                                                    bool isUpdating, bool isSkippingVersion, bool isAdopting,
                                                    const std::optional<UpdateProgress>& updateProgress,
                                                    const std::optional<AdoptionProgress>& adoptionProgress)
{
    HeaderInputs inputs;
    inputs.isIgnoring = isIgnoring;
    inputs.isSkippingVersion = isSkippingVersion;
    const bool ownUpdate = updateProgress && belongsTo(updateProgress->application, application);
    inputs.isUpdating = isUpdating && ownUpdate;
    if (ownUpdate)
        inputs.updateProgress = updateProgress;
    inputs.isAdopting = isAdopting && adoptionProgress && belongsTo(adoptionProgress->application, application);
    return inputs;
}

bool DetailRules::requiresSudoUpdate(const Application::Snapshot& application)
{
    return application.source.contains(Application::Source::homebrew) && application.cask
           && application.cask->requiresSudo;
}

bool DetailRules::isUpdateFailed(const Application::Snapshot& application)
{
    return application.update && application.update->status == Update::Status::failed;
}

DetailRules::Header DetailRules::header(const std::shared_ptr<Application>& self,
                                        const Application::Snapshot& application, const HeaderInputs& inputs,
                                        bool hasPermission, bool isRefreshing, const QDateTime& now)
{
    Header header;
    const bool failed = isUpdateFailed(application);
    const bool sudo = requiresSudoUpdate(application);
    header.latestVersionFailed = failed;
    header.ignoreTitle = application.ignored ? QStringLiteral("Unignore App") : QStringLiteral("Ignore App");

    if (!application.update) {
        header.form = ActionForm::ignoreOnly;
        header.ignoreEnabled = !inputs.isIgnoring && !inputs.isAdopting && !isRefreshing;
    } else if (sudo) {
        header.form = ActionForm::passwordUpdate;
        header.skipEnabled = !inputs.isSkippingVersion && !isRefreshing;
        header.ignoreEnabled = !inputs.isIgnoring && !isRefreshing;
    } else {
        header.form = ActionForm::fullUpdate;
        header.skipEnabled = !inputs.isUpdating && !inputs.isSkippingVersion && !isRefreshing;
        header.ignoreEnabled = !inputs.isUpdating && !inputs.isIgnoring && !isRefreshing;
        if (failed) {
            header.primary = PrimaryAction::updateFailed;
            header.primaryTitle = QStringLiteral("Update Failed");
            header.primaryEnabled = false;
        } else if (inputs.isUpdating) {
            header.primary = PrimaryAction::updating;
            header.primaryTitle = QStringLiteral("Updating...");
            header.primaryEnabled = false;
        } else if (hasPermission) {
            header.primary = PrimaryAction::update;
            header.primaryTitle = QStringLiteral("Update");
            header.primaryEnabled = !isRefreshing;
        } else {
            header.primary = PrimaryAction::permissionRequired;
            header.primaryTitle = QStringLiteral("Permission Required");
            header.primaryEnabled = !isRefreshing;
        }
    }

    header.showSkippedNotice = application.skippedVersion.has_value();

    if (failed) {
        if (inputs.updateProgress) {
            header.progressPanel = inputs.updateProgress;
        } else {
            UpdateProgress made;
            made.id = QUuid::createUuid();
            made.application = self;
            made.status = UpdateProgress::Status::failed;
            made.progress = 0;
            made.currentStep = application.update->lastUpdateError.value_or(QStringLiteral("Update failed"));
            made.startTime = now;
            header.progressPanel = made;
        }
    } else if (inputs.updateProgress && !(application.cask && application.cask->adoptable)) {
        header.progressPanel = inputs.updateProgress;
    }

    header.showTerminalFallback = application.update && sudo && !failed;
    return header;
}

} // namespace norvelle
