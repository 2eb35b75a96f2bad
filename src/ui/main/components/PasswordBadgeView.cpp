#include "ui/main/components/PasswordBadgeView.h"

#include "ui/main/components/SystemColors.h"

namespace norvelle {

PasswordBadgeView::PasswordBadgeView(Style style, QWidget* parent)
    : BadgeChip(appearanceFor(style), parent), m_style(style)
{
    setObjectName(QStringLiteral("passwordBadge"));
}

BadgeAppearance PasswordBadgeView::appearanceFor(Style style)
{
    const QString updateHelp = QStringLiteral("Brew requires your password to run the update command");
    BadgeAppearance look;
    switch (style) {
    case Style::sidebar:
        look.text = QStringLiteral("Password");
        look.textStyle = TextStyles::Style::caption2;
        look.weight = QFont::Normal;
        look.textColor = SystemColors::secondary();
        look.padding = QMargins(6, 2, 6, 2);
        look.fill = SystemColors::withOpacity(SystemColors::secondary(), 0.1);
        look.cornerRadius = 4;
        look.outline = SystemColors::withOpacity(SystemColors::secondary(), 0.3);
        look.outlineWidth = 0.5;
        look.outerMargins = QMargins(0, 2, 2, 0);
        look.toolTip = updateHelp;
        break;
    case Style::header:
    case Style::caskBadge: {
        const bool cask = style == Style::caskBadge;
        const QColor tint = cask ? SystemColors::orange() : SystemColors::secondary();
        look.text = QStringLiteral("Password Required");
        look.textStyle = TextStyles::Style::subheadline;
        look.weight = QFont::Medium;
        look.textColor = tint;
        look.padding = QMargins(10, 4, 10, 4);
        look.fill = SystemColors::withOpacity(tint, 0.15);
        look.capsule = true;
        look.toolTip = cask ? QStringLiteral("Brew requires your password to run the adoption command") : updateHelp;
        break;
    }
    }
    return look;
}

} // namespace norvelle
