#pragma once

#include "model/AdoptionProgress.h"
#include "model/Application.h"
#include "model/EnvironmentStatus.h"
#include "model/UpdateProgress.h"

#include <QString>
#include <optional>

namespace norvelle {

// What the detail pane shows for one application, worked out from plain values so the views
// only draw it. The update and adoption records are system-wide; a view uses one only when it
// belongs to the application on screen.
class DetailRules {
public:
    // The pane's optional panels under the header and the metadata row.
    struct Panels {
        bool brewAvailable = false;
        bool releaseNotes = false;
        bool manualCaskEntry = false;
    };

    // The busy flags and progress handed to the header for the application on screen.
    struct HeaderInputs {
        bool isIgnoring = false;
        bool isUpdating = false;
        bool isSkippingVersion = false;
        bool isAdopting = false;
        std::optional<UpdateProgress> updateProgress;
    };

    enum class ActionForm { ignoreOnly, passwordUpdate, fullUpdate };
    enum class PrimaryAction { updateFailed, updating, update, permissionRequired };

    // The header's action row and status panels.
    struct Header {
        ActionForm form = ActionForm::ignoreOnly;
        QString ignoreTitle;
        bool ignoreEnabled = true;
        bool skipEnabled = true; // only in the two update forms
        PrimaryAction primary = PrimaryAction::update; // only in the full form
        QString primaryTitle;
        bool primaryEnabled = true;
        bool latestVersionFailed = false;
        bool showSkippedNotice = false;
        std::optional<UpdateProgress> progressPanel;
        bool showTerminalFallback = false;
    };

    static bool belongsTo(const std::shared_ptr<Application>& owner, const Application::Snapshot& application);
    static bool hasHomebrew(const std::optional<EnvironmentStatus>& environment);
    static Panels panels(const Application::Snapshot& application,
                         const std::optional<EnvironmentStatus>& environment);
    static HeaderInputs headerInputs(const Application::Snapshot& application, bool isIgnoring, bool isUpdating,
                                     bool isSkippingVersion, bool isAdopting,
                                     const std::optional<UpdateProgress>& updateProgress,
                                     const std::optional<AdoptionProgress>& adoptionProgress);

    static bool requiresSudoUpdate(const Application::Snapshot& application);
    static bool isUpdateFailed(const Application::Snapshot& application);
    // `self` is the shared object behind the snapshot; `now` stamps a made-up failed record.
    static Header header(const std::shared_ptr<Application>& self, const Application::Snapshot& application,
                         const HeaderInputs& inputs, bool hasPermission, bool isRefreshing, const QDateTime& now);
};

} // namespace norvelle
