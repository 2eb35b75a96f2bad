#include "ui/main/MenuBarIcon.h"

#include "ui/SymbolIcons.h"
#include "ui/main/components/SystemColors.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace norvelle {

namespace {

constexpr int kSide = 64;

QPixmap arrowWithCount(const QString& count, const QColor& ink)
{
    QPixmap pixmap(kSide, kSide);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // A tray icon is square: the arrow takes the left part, the count the rest.
    const int arrowWidth = count.size() > 1 ? kSide * 2 / 5 : kSide / 2;
    SymbolIcons::icon(QStringLiteral("arrow.up"), ink)
        .paint(&painter, QRect(0, kSide / 8, arrowWidth, kSide * 3 / 4));
    QFont font;
    font.setBold(true);
    font.setPixelSize(count.size() > 2 ? kSide / 3 : kSide / 2);
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(QRect(arrowWidth, 0, kSide - arrowWidth, kSide), Qt::AlignCenter, count);
    return pixmap;
}

} // namespace

QIcon MenuBarIcon::icon(const MenuBarLabel& label, const QColor& color)
{
    const QColor ink = color.isValid() ? color : SystemColors::primary();
    switch (label.kind) {
    case MenuBarLabel::Kind::empty: return {};
    case MenuBarLabel::Kind::progress:
        return SymbolIcons::icon(QStringLiteral("arrow.triangle.2.circlepath"), ink);
    case MenuBarLabel::Kind::idle:
        return SymbolIcons::icon(QStringLiteral("arrow.up"), SystemColors::withOpacity(ink, label.opacity()));
    case MenuBarLabel::Kind::count: return QIcon(arrowWithCount(label.text(), ink));
    }
    return {};
}

} // namespace norvelle
