#pragma once

#include "ui/main/components/BadgeChip.h"

namespace norvelle {

// Says that a Homebrew command needs the user's password: the small `sidebar` chip of a row,
// the `header` capsule, and the orange `caskBadge` capsule of the adoption panel.
class PasswordBadgeView : public BadgeChip {
    Q_OBJECT

public:
    enum class Style { sidebar, header, caskBadge };

    explicit PasswordBadgeView(Style style, QWidget* parent = nullptr);

    Style style() const { return m_style; }
    static BadgeAppearance appearanceFor(Style style);

private:
    Style m_style;
};

} // namespace norvelle
