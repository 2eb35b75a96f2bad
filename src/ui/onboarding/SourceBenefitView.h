#pragma once

#include "ui/onboarding/InstallSourcesRules.h"

#include <QWidget>

namespace norvelle {

// One benefit of a missing tool: its symbol in the benefit's colour beside a title and a
// description.
class SourceBenefitView : public QWidget {
    Q_OBJECT

public:
    explicit SourceBenefitView(const InstallSourcesRules::Benefit& benefit, QWidget* parent = nullptr);
};

} // namespace norvelle
