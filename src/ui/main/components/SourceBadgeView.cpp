#include "ui/main/components/SourceBadgeView.h"

#include "ui/main/components/SystemColors.h"

namespace norvelle {

SourceBadgeView::SourceBadgeView(Application::Source source, QWidget* parent)
    : BadgeChip(appearanceFor(source), parent), m_source(source)
{
    setObjectName(QStringLiteral("sourceBadge"));
}

QString SourceBadgeView::label(Application::Source source)
{
    switch (source) {
    case Application::Source::homebrew: return QStringLiteral("Brew");
    case Application::Source::sparkle: return QStringLiteral("Sparkle");
    case Application::Source::appStore: return QStringLiteral("App Store");
    case Application::Source::other: return QStringLiteral("Other");
    }
    return QStringLiteral("Other");
}

QColor SourceBadgeView::tint(Application::Source source)
{
    switch (source) {
    case Application::Source::homebrew: return SystemColors::orange();
    case Application::Source::sparkle: return SystemColors::purple();
    case Application::Source::appStore: return SystemColors::blue();
    case Application::Source::other: return SystemColors::gray();
    }
    return SystemColors::gray();
}

BadgeAppearance SourceBadgeView::appearanceFor(Application::Source source)
{
    // The same chip as the sidebar's password badge, in the source's tint.
    const QColor color = tint(source);
    BadgeAppearance look;
    look.text = label(source);
    look.textStyle = TextStyles::Style::caption2;
    look.weight = QFont::Normal;
    look.textColor = color;
    look.padding = QMargins(6, 2, 6, 2);
    look.fill = SystemColors::withOpacity(color, 0.1);
    look.cornerRadius = 4;
    look.outline = SystemColors::withOpacity(color, 0.3);
    look.outlineWidth = 0.5;
    look.outerMargins = QMargins(0, 2, 2, 0);
    return look;
}

} // namespace norvelle
