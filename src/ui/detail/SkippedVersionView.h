#pragma once

#include "model/Application.h"

#include <QWidget>
#include <functional>
#include <memory>

namespace norvelle {

class ElidingLabel;

// The notice under the header while the user skips one version of the application, with
// "Unskip" to take the skip back. It follows the application's skipped version.
class SkippedVersionView : public QWidget {
    Q_OBJECT

public:
    SkippedVersionView(std::shared_ptr<Application> application, std::function<void()> onUnskip,
                       QWidget* parent = nullptr);

    // Reads the skipped version again.
    void sync();

private:
    std::shared_ptr<Application> m_application;
    std::function<void()> m_onUnskip;
    QWidget* m_versionLine = nullptr;
    ElidingLabel* m_version = nullptr;
};

} // namespace norvelle
