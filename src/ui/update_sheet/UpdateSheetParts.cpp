#include "ui/update_sheet/UpdateSheetParts.h"

#include "ui/detail/UpdateProgressView.h"
#include "ui/main/components/ApplicationIconProvider.h"
#include "ui/main/components/BadgeChip.h"
#include "ui/main/components/Card.h"
#include "ui/main/components/ElidingLabel.h"
#include "ui/main/components/SourceBadgeView.h"
#include "ui/main/components/SystemColors.h"

#include <QEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QScrollArea>
#include <QWidget>

namespace norvelle {

namespace {

// Calls its action again whenever the watched widget's palette changes (a theme switch);
// setting a colour from inside the action does not call it again.
class InkFollower : public QObject {
public:
    InkFollower(QWidget* widget, std::function<void()> apply) : QObject(widget), m_apply(std::move(apply))
    {
        widget->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::PaletteChange && !m_busy) {
            m_busy = true;
            m_apply();
            m_busy = false;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_apply;
    bool m_busy = false;
};

BadgeChip* countChip(qsizetype count, const QString& objectName, QWidget* parent)
{
    BadgeAppearance look;
    look.text = QString::number(static_cast<long long>(count));
    look.textStyle = TextStyles::Style::title3;
    look.weight = QFont::Medium;
    look.textColor = SystemColors::secondary();
    look.padding = QMargins(6, 2, 6, 2);
    look.fill = SystemColors::withOpacity(SystemColors::secondary(), 0.2);
    look.capsule = true;
    auto* badge = new BadgeChip(look, parent);
    badge->setObjectName(objectName);
    return badge;
}

// The header's capsule is drawn from a fixed appearance, so a new count or palette gets a
// new capsule in the same place.
void replaceCountChip(QWidget* header, std::optional<qsizetype> count)
{
    auto* old = header->findChild<BadgeChip*>(QString(), Qt::FindDirectChildrenOnly);
    auto* row = qobject_cast<QHBoxLayout*>(header->layout());
    if (!old || !row)
        return;
    const qsizetype value = count.value_or(old->text().toLongLong());
    if (count && old->text() == QString::number(static_cast<long long>(value)))
        return;
    BadgeChip* chip = countChip(value, old->objectName(), header);
    // The layout hands back the item that held the old capsule; it is ours to delete.
    delete row->replaceWidget(old, chip);
    delete old;
}

} // namespace

QColor UpdateSheetParts::Ink::color() const
{
    if (fixed)
        return *fixed;
    switch (tone) {
    case Tone::primary:
        return SystemColors::primary();
    case Tone::secondary:
        return SystemColors::secondary();
    case Tone::tertiary:
        return SystemColors::tertiary();
    }
    return SystemColors::primary();
}

QFont UpdateSheetParts::font(TextStyles::Style style, QFont::Weight weight)
{
    return TextStyles::font(style, weight);
}

void UpdateSheetParts::followPalette(QWidget* widget, std::function<void()> apply)
{
    apply();
    new InkFollower(widget, std::move(apply));
}

void UpdateSheetParts::setInk(QWidget* widget, const Ink& ink)
{
    auto apply = [widget, ink] {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::WindowText, ink.color());
        palette.setColor(QPalette::Text, ink.color());
        widget->setPalette(palette);
    };
    if (ink.fixed)
        apply();
    else
        followPalette(widget, apply);
}

QLabel* UpdateSheetParts::label(const QString& text, const QFont& font, const Ink& ink, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(font);
    setInk(label, ink);
    return label;
}

ElidingLabel* UpdateSheetParts::elidedLabel(const QString& text, const QFont& font, const Ink& ink,
                                            QWidget* parent)
{
    auto* label = new ElidingLabel(parent);
    label->setFont(font);
    label->setFullText(text);
    setInk(label, ink);
    return label;
}

void UpdateSheetParts::followCardTint(Card* card)
{
    followPalette(card, [card] { card->setBackgroundColor(Card::tint(SystemColors::primary(), true)); });
}

Card* UpdateSheetParts::card(QWidget* parent)
{
    auto* card = new Card(Card::tint(SystemColors::primary(), true), std::nullopt, parent);
    followCardTint(card);
    return card;
}

QLabel* UpdateSheetParts::sectionTitle(const QString& text, QWidget* parent)
{
    // 20 points beside a 13-point body, scaled like the text styles.
    QFont title = TextStyles::font(TextStyles::Style::body, QFont::Medium);
    title.setPointSizeF(title.pointSizeF() * 20.0 / 13.0);
    return label(text, title, Tone::primary, parent);
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
    row->addWidget(countChip(count, name + QStringLiteral("Count"), header), 0, Qt::AlignVCenter);
    row->addStretch(1);
    new InkFollower(header, [header] { replaceCountChip(header, std::nullopt); });
    return header;
}

void UpdateSheetParts::setSectionCount(QWidget* header, qsizetype count)
{
    replaceCountChip(header, count);
}

QLabel* UpdateSheetParts::icon(const Application& application, int size, qreal radius, QWidget* parent)
{
    // The queue can list hundreds of applications; each bundle's icon is drawn once and kept in
    // Qt's pixmap cache, which goes with the application.
    const QString path = application.path().toLocalFile();
    const QString version = application.currentVersion();
    const QString key = QStringLiteral("norvelle-sheet-icon|") + path + QLatin1Char('|') + version +
                        QLatin1Char('|') + QString::number(size) + QLatin1Char('|') + QString::number(radius);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        const QIcon icon = ApplicationIconProvider::icon(path, version);
        const qreal ratio = 2.0;
        pixmap = QPixmap(QSize(size, size) * ratio);
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
        QPixmapCache::insert(key, pixmap);
    }
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("appIcon"));
    label->setPixmap(pixmap);
    label->setFixedSize(size, size);
    return label;
}

QWidget* UpdateSheetParts::versionLine(const Application& application, const Ink& latestInk, int spacing,
                                       QWidget* parent)
{
    return versionLine(application.displayCurrentVersion(), application.displayLatestVersion(), latestInk,
                       spacing, parent);
}

QWidget* UpdateSheetParts::versionLine(const QString& currentVersion,
                                       const std::optional<QString>& latestVersion, const Ink& latestInk,
                                       int spacing, QWidget* parent)
{
    auto* line = new QWidget(parent);
    line->setObjectName(QStringLiteral("versionLine"));
    auto* row = new QHBoxLayout(line);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    const QFont sub = font(TextStyles::Style::subheadline);
    auto* current = elidedLabel(currentVersion, sub, Tone::secondary, line);
    current->setObjectName(QStringLiteral("currentVersion"));
    row->addWidget(current);
    if (!latestVersion) {
        // The update went since the list was made: installed meanwhile, or gone on a check.
        auto* none = label(QStringLiteral("No update available"), sub, Tone::secondary, line);
        none->setObjectName(QStringLiteral("noUpdate"));
        row->addWidget(none);
    } else {
        row->addWidget(label(QStringLiteral("→"), sub, Tone::secondary, line));
        auto* latest =
            elidedLabel(*latestVersion, font(TextStyles::Style::subheadline, QFont::Medium), latestInk, line);
        latest->setObjectName(QStringLiteral("latestVersion"));
        row->addWidget(latest);
    }
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
    area->setObjectName(QStringLiteral("sheetScroll"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // With no horizontal scrolling, content wider than the viewport would be cut at the
    // sheet's edge; an ignored width makes the scroll area give it the viewport's width.
    content->setSizePolicy(QSizePolicy::Ignored, content->sizePolicy().verticalPolicy());
    content->setAutoFillBackground(false);
    area->setWidget(content);
    area->viewport()->setAutoFillBackground(false);
    return area;
}

QWidget* UpdateSheetParts::progressPanel(const UpdateProgress& progress, RefreshAction onRefreshApp,
                                         DetailViewModel& detailViewModel, QWidget* parent)
{
    return new UpdateProgressView(progress, std::move(onRefreshApp), detailViewModel, parent);
}

void UpdateSheetParts::setPanelProgress(QWidget* panel, const UpdateProgress& progress)
{
    if (auto* view = qobject_cast<UpdateProgressView*>(panel); view && !(view->progress() == progress))
        view->setProgress(progress);
}

} // namespace norvelle
