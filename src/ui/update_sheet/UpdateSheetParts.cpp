#include "ui/update_sheet/UpdateSheetParts.h"

#include "ui/main/components/ApplicationIconProvider.h"
#include "ui/main/components/BadgeChip.h"
#include "ui/main/components/SourceBadgeView.h"
#include "ui/main/components/SystemColors.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QWidget>

namespace norvelle {

QFont UpdateSheetParts::font(TextStyles::Style style, QFont::Weight weight)
{
    return TextStyles::font(style, weight);
}

QLabel* UpdateSheetParts::label(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

QLabel* UpdateSheetParts::sectionTitle(const QString& text, QWidget* parent)
{
    // 20 points beside a 13-point body, scaled like the text styles.
    QFont title = TextStyles::font(TextStyles::Style::body, QFont::Medium);
    title.setPointSizeF(title.pointSizeF() * 20.0 / 13.0);
    return label(text, title, SystemColors::primary(), parent);
}

QWidget* UpdateSheetParts::sectionHeader(const QString& title, qsizetype count, const QString& name,
                                         QWidget* parent)
{
    auto* header = new QWidget(parent);
    header->setObjectName(name + QStringLiteral("Header"));
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    auto* titleLabel = sectionTitle(title, header);
    titleLabel->setObjectName(name + QStringLiteral("Title"));
    row->addWidget(titleLabel, 0, Qt::AlignVCenter);

    BadgeAppearance look;
    look.text = QString::number(static_cast<long long>(count));
    look.textStyle = TextStyles::Style::title3;
    look.weight = QFont::Medium;
    look.textColor = SystemColors::secondary();
    look.padding = QMargins(6, 2, 6, 2);
    look.fill = SystemColors::withOpacity(SystemColors::secondary(), 0.2);
    look.capsule = true;
    auto* badge = new BadgeChip(look, header);
    badge->setObjectName(name + QStringLiteral("Count"));
    row->addWidget(badge, 0, Qt::AlignVCenter);
    row->addStretch(1);
    return header;
}

QLabel* UpdateSheetParts::icon(const Application& application, int size, qreal radius, QWidget* parent)
{
    const QIcon icon = ApplicationIconProvider::icon(application.path().toLocalFile(), application.currentVersion());

    const qreal ratio = 2.0;
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(0, 0, size, size), radius, radius);
        painter.setClipPath(clip);
        icon.paint(&painter, QRect(0, 0, size, size));
    }
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("appIcon"));
    label->setPixmap(pixmap);
    label->setFixedSize(size, size);
    return label;
}

QWidget* UpdateSheetParts::versionLine(const Application& application, const QColor& latestColor, int spacing,
                                       QWidget* parent)
{
    auto* line = new QWidget(parent);
    line->setObjectName(QStringLiteral("versionLine"));
    auto* row = new QHBoxLayout(line);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    const QFont sub = font(TextStyles::Style::subheadline);
    auto* current = label(application.displayCurrentVersion(), sub, SystemColors::secondary(), line);
    current->setObjectName(QStringLiteral("currentVersion"));
    row->addWidget(current);
    row->addWidget(label(QStringLiteral("→"), sub, SystemColors::secondary(), line));
    auto* latest = label(application.displayLatestVersion().value_or(QString()),
                         font(TextStyles::Style::subheadline, QFont::Medium), latestColor, line);
    latest->setObjectName(QStringLiteral("latestVersion"));
    row->addWidget(latest);
    row->addStretch(1);
    return line;
}

QWidget* UpdateSheetParts::sourceBadge(const Application& application, QWidget* parent)
{
    if (const auto update = application.update())
        return new SourceBadgeView(toApplicationSource(update->source), parent);
    const QList<Application::Source> sources = application.source();
    if (!sources.isEmpty())
        return new SourceBadgeView(sources.first(), parent);
    return nullptr;
}

QWidget* UpdateSheetParts::scrolling(QWidget* content, QWidget* parent)
{
    auto* area = new QScrollArea(parent);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    content->setAutoFillBackground(false);
    area->setWidget(content);
    area->viewport()->setAutoFillBackground(false);
    return area;
}

} // namespace norvelle
