#pragma once

#include "DemoApplications.h"

#include <QString>
#include <QVariantMap>

namespace norvelle::demo {

// One application bundle of the demo world, as its maker ships it: Info.plist (XML, or binary
// where the application says so), an icon in Contents/Resources and an executable.
class DemoBundle {
public:
    // Writes the bundle of `app` at `version` into folder, with the extra Info.plist keys;
    // returns its path, empty on failure.
    static QString write(const QString& folder, const DemoApplication& app, const QString& version,
                         const QVariantMap& extra = {});

private:
    DemoBundle() = delete;
};

} // namespace norvelle::demo
