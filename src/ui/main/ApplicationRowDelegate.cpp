#include "ui/main/ApplicationRowDelegate.h"

#include "ui/SymbolIcons.h"
#include "ui/main/ApplicationListModel.h"
#include "ui/main/components/ApplicationIconProvider.h"
#include "ui/main/components/ElidingLabel.h"
#include "ui/main/components/PasswordBadgeView.h"
#include "ui/main/components/SourceBadgeView.h"
#include "ui/main/components/SystemColors.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileInfo>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace norvelle {

namespace {

constexpr int kIconSize = 38;
constexpr int kRowHeight = 62;
constexpr int kSpacing = 6;

QColor green()
{
    return SystemColors::green();
}

// Draws a badge widget (never shown itself) at `topLeft`; returns its size.
QSize paintChip(QPainter* painter, BadgeChip& chip, const QPoint& topLeft)
{
    chip.resize(chip.sizeHint());
    if (!painter)
        return chip.size();
    const qreal ratio = painter->device()->devicePixelRatioF();
    QPixmap pixmap(chip.size() * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    chip.render(&pixmap, QPoint(), QRegion(), QWidget::DrawChildren);
    painter->drawPixmap(topLeft, pixmap);
    return chip.size();
}

// The room beside the icon, up to the first status indicator.
QRect textArea(const QRect& row, const QList<ApplicationRowDelegate::StatusSlot>& indicators)
{
    const int right = indicators.isEmpty() ? row.right() : indicators.first().rect.left() - kSpacing;
    const int left = row.left() + kIconSize + kSpacing;
    return QRect(left, row.top(), qMax(0, right - left), row.height());
}

QFont nameFont(const QFont& rowFont)
{
    QFont font = rowFont;
    font.setWeight(QFont::Medium);
    return font;
}

QFont versionFont(const QFont& rowFont)
{
    QFont font = rowFont;
    font.setPointSizeF(font.pointSizeF() * 0.9);
    return font;
}

const QString versionArrow = QStringLiteral("\u2192");

void paintSpinner(QPainter* painter, const QRect& rect, const QColor& color, int phase)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QPen pen(color, 2);
    pen.setCapStyle(Qt::RoundCap);
    painter->setPen(pen);
    const int side = qMin(rect.width(), rect.height()) - 6;
    const QRect circle(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    painter->drawArc(circle, (90 - phase) * 16, 270 * 16);
    painter->restore();
}

} // namespace

ApplicationRowDelegate::ApplicationRowDelegate(QObject* parent) : QStyledItemDelegate(parent)
{
    // Turns the row spinners while any is drawn; stops when a tick finds none painted since.
    m_spinTimer.setInterval(80);
    connect(&m_spinTimer, &QTimer::timeout, this, [this] {
        if (!m_spunSinceTick || !m_spinView) {
            m_spinTimer.stop();
            return;
        }
        m_spunSinceTick = false;
        m_spinPhase = (m_spinPhase + 30) % 360;
        // An item view paints its rows in its viewport, not in itself.
        if (auto* view = qobject_cast<QAbstractItemView*>(m_spinView.data()))
            view->viewport()->update();
        else
            m_spinView->update();
    });
}

BadgeAppearance ApplicationRowDelegate::onSelection(BadgeAppearance appearance, const QColor& selectedText)
{
    // On the selection colour the badge's own tint would vanish or clash: draw it in the
    // selected text colour instead, on a faint fill of that colour.
    appearance.textColor = selectedText;
    QColor fill = selectedText;
    fill.setAlphaF(0.2f);
    appearance.fill = fill;
    if (appearance.outline.isValid())
        appearance.outline = selectedText;
    return appearance;
}

bool ApplicationRowDelegate::showsBadgeLine(const QList<Application::Source>& source)
{
    return !source.isEmpty() && !source.contains(Application::Source::other);
}

QList<ApplicationRowDelegate::StatusSlot> ApplicationRowDelegate::statusSlots(
    const QRect& rowRect, const Application::Snapshot& application, bool isUpdating, bool isAdopting)
{
    QList<StatusSlot> indicators;
    int right = rowRect.right() - 4;
    const int centreY = rowRect.center().y();
    // Laid out from the trailing edge: the update slot first, then the adoption slot before it.
    if (isUpdating) {
        indicators.prepend({QRect(right - 19, centreY - 10, 20, 20), QString(), QStringLiteral("Updating...")});
        right -= 20 + kSpacing;
    } else if (application.update) {
        indicators.prepend({QRect(right - 19, centreY - 10, 20, 20), QStringLiteral("arrow.up"),
                       QStringLiteral("An update is available")});
        right -= 20 + kSpacing;
    }
    if (isAdopting) {
        indicators.prepend({QRect(right - 24, centreY - 10, 25, 20), QString(), QStringLiteral("Adopting cask...")});
    } else if (application.cask && application.cask->adoptable && !isUpdating) {
        indicators.prepend({QRect(right - 24, centreY - 10, 25, 20), QStringLiteral("shippingbox.and.arrow.backward.fill"),
                       QStringLiteral("This app is adoptable by Homebrew")});
    }
    return indicators;
}

QList<ApplicationRowDelegate::RowText>
ApplicationRowDelegate::rowTexts(const QRect& rowRect, const QFont& font,
                                 const Application::Snapshot& application, bool isUpdating, bool isAdopting)
{
    const QRect row = rowRect.adjusted(6, 4, -6, -4);
    const QRect text = textArea(row, statusSlots(row, application, isUpdating, isAdopting));
    const QFontMetrics nameMetrics(nameFont(font));
    int y = row.top() + 2;
    const QString name = nameMetrics.elidedText(application.name, Qt::ElideRight, text.width());
    QList<RowText> texts{{QRect(text.left(), y, nameMetrics.horizontalAdvance(name), nameMetrics.height()),
                          name, application.name}};
    y += nameMetrics.height() + 2;
    if (showsBadgeLine(application.source))
        y +=
            paintBadges(nullptr, QRect(text.left(), y, text.width(), 15), application, QPalette(), false) + 2;

    const QFontMetrics metrics(versionFont(font));
    const auto [current, latest] = versionTexts(text.width(), font, application);
    const int currentWidth = metrics.horizontalAdvance(current);
    texts.append({QRect(text.left(), y, currentWidth, metrics.height()), current,
                  application.displayCurrentVersion()});
    if (application.update) {
        const int x = text.left() + currentWidth + 4 + metrics.horizontalAdvance(versionArrow) + 4;
        texts.append({QRect(x, y, metrics.horizontalAdvance(latest), metrics.height()), latest,
                      application.displayLatestVersion().value_or(QString())});
    }
    return texts;
}

std::pair<QString, QString> ApplicationRowDelegate::versionTexts(int room, const QFont& font,
                                                                 const Application::Snapshot& application)
{
    const QFontMetrics metrics(versionFont(font));
    const QString current = application.displayCurrentVersion();
    if (!application.update)
        return {metrics.elidedText(current, Qt::ElideRight, room), QString()};
    const QString latest = application.displayLatestVersion().value_or(QString());
    // The pixel each width adds keeps a whole text whole: elidedText measures finer.
    const auto [currentWidth, latestWidth] = ElidingLabel::shareWidth(
        metrics.horizontalAdvance(current) + 1, metrics.horizontalAdvance(latest) + 1,
        room - metrics.horizontalAdvance(versionArrow) - 8);
    return {metrics.elidedText(current, Qt::ElideRight, currentWidth),
            metrics.elidedText(latest, Qt::ElideRight, latestWidth)};
}

int ApplicationRowDelegate::paintBadges(QPainter* painter, const QRect& rect,
                                        const Application::Snapshot& application, const QPalette& palette,
                                        bool selected)
{
    const QColor selectedText = palette.color(QPalette::HighlightedText);
    auto look = [&](BadgeAppearance appearance) {
        return selected ? onSelection(std::move(appearance), selectedText) : appearance;
    };
    int x = rect.left();
    int height = 0;
    for (Application::Source source : application.source) {
        BadgeChip badge(look(SourceBadgeView::appearanceFor(source)));
        const QSize size = paintChip(painter, badge, QPoint(x, rect.top()));
        x += size.width() + 4;
        height = qMax(height, size.height());
    }
    if (application.source.contains(Application::Source::homebrew) && application.cask &&
        application.cask->requiresSudo) {
        BadgeChip badge(look(PasswordBadgeView::appearanceFor(PasswordBadgeView::Style::sidebar)));
        const QSize size = paintChip(painter, badge, QPoint(x, rect.top()));
        height = qMax(height, size.height());
    }
    return height;
}

void ApplicationRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const
{
    const auto application = index.data(ApplicationListModel::ApplicationRole).value<std::shared_ptr<Application>>();
    if (!application) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const Application::Snapshot app = application->snapshot();
    const bool isUpdating = index.data(ApplicationListModel::IsUpdatingRole).toBool();
    const bool isAdopting = index.data(ApplicationListModel::IsAdoptingRole).toBool();

    // Selection and hover background from the style, without its text.
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, widget);

    painter->save();
    painter->setOpacity(app.ignored ? 0.5 : 1.0);
    const QRect row = option.rect.adjusted(6, 4, -6, -4);
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    const QColor primary = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    QColor secondary = primary;
    secondary.setAlphaF(0.6);

    ApplicationIconProvider::icon(app.path.toLocalFile(), app.currentVersion)
        .paint(painter, QRect(row.left(), row.top(), kIconSize, kIconSize));

    const QList<StatusSlot> indicators = statusSlots(row, app, isUpdating, isAdopting);
    const QRect text = textArea(row, indicators);
    const int textRight = text.left() + text.width();
    // Each text is drawn from where it starts to the end of the room, as it was cut for.
    const auto draw = [painter, textRight](int x, const QRect& line, const QString& shown) {
        painter->drawText(QRect(x, line.top(), qMax(0, textRight - x), line.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, shown);
    };
    const QList<RowText> texts = rowTexts(option.rect, option.font, app, isUpdating, isAdopting);

    const RowText& name = texts.first();
    painter->setFont(nameFont(option.font));
    painter->setPen(primary);
    draw(name.rect.left(), name.rect, name.shown);
    if (showsBadgeLine(app.source))
        paintBadges(painter, QRect(text.left(), name.rect.top() + name.rect.height() + 2, text.width(), 15),
                    app, palette, selected);

    painter->setFont(versionFont(option.font));
    const RowText& current = texts.at(1);
    painter->setPen(secondary);
    draw(current.rect.left(), current.rect, current.shown);
    if (texts.size() > 2) {
        const RowText& latest = texts.at(2);
        draw(current.rect.left() + current.rect.width() + 4, current.rect, versionArrow);
        painter->setPen(selected ? primary : green());
        draw(latest.rect.left(), latest.rect, latest.shown);
    }

    for (const StatusSlot& indicator : indicators) {
        if (indicator.symbol.isEmpty()) {
            paintSpinner(painter, indicator.rect, secondary, m_spinPhase);
            m_spunSinceTick = true;
            if (!m_spinTimer.isActive() && option.widget) {
                m_spinView = const_cast<QWidget*>(option.widget);
                m_spinTimer.start();
            }
            continue;
        }
        const bool isUpdate = indicator.symbol == QLatin1String("arrow.up");
        const QColor color = selected ? primary : (isUpdate ? green() : SystemColors::orange());
        const int side = 16;
        const QRect target(indicator.rect.center().x() - side / 2, indicator.rect.center().y() - side / 2, side, side);
        painter->drawPixmap(target, SymbolIcons::pixmap(indicator.symbol, side, color, painter->device()->devicePixelRatioF()));
    }
    painter->restore();
}

QSize ApplicationRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    Q_UNUSED(index)
    return QSize(option.rect.width() > 0 ? option.rect.width() : 240, kRowHeight);
}

bool ApplicationRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                       const QStyleOptionViewItem& option, const QModelIndex& index)
{
    const auto application = index.data(ApplicationListModel::ApplicationRole).value<std::shared_ptr<Application>>();
    if (event->type() == QEvent::ToolTip && application) {
        // The list paints a row no wider than its viewport, whatever width its item size was
        // measured at (a uniform size is kept after a scroll bar has narrowed the viewport).
        QRect painted = option.rect;
        if (view)
            painted.setWidth(qMin(painted.width(), view->viewport()->width()));
        const QRect row = painted.adjusted(6, 4, -6, -4);
        const Application::Snapshot app = application->snapshot();
        const bool isUpdating = index.data(ApplicationListModel::IsUpdatingRole).toBool();
        const bool isAdopting = index.data(ApplicationListModel::IsAdoptingRole).toBool();
        const auto indicators = statusSlots(row, app, isUpdating, isAdopting);
        for (const StatusSlot& indicator : indicators) {
            if (indicator.rect.contains(event->pos())) {
                QToolTip::showText(event->globalPos(), indicator.tooltip, view);
                return true;
            }
        }
        for (const RowText& text : rowTexts(painted, option.font, app, isUpdating, isAdopting)) {
            if (text.shown != text.whole && text.rect.contains(event->pos())) {
                QToolTip::showText(event->globalPos(), text.whole, view->viewport(), text.rect);
                return true;
            }
        }
        QToolTip::hideText();
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

} // namespace norvelle
