#pragma once

#include "model/Application.h"
#include "ui/main/components/BadgeChip.h"

namespace norvelle {

// A small chip in the source's own tint that names one update source of an application.
class SourceBadgeView : public BadgeChip {
    Q_OBJECT

public:
    explicit SourceBadgeView(Application::Source source, QWidget* parent = nullptr);

    Application::Source source() const { return m_source; }
    static QString label(Application::Source source);
    static QColor tint(Application::Source source);
    static BadgeAppearance appearanceFor(Application::Source source);

private:
    Application::Source m_source;
};

} // namespace norvelle
