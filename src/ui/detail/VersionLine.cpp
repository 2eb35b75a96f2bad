#include "ui/detail/VersionLine.h"

#include "ui/main/components/ElidingLabel.h"

#include <QEvent>
#include <QLabel>
#include <algorithm>

namespace norvelle {

namespace {

constexpr int spacing = 6;

} // namespace

VersionLine::VersionLine(ElidingLabel* current, QLabel* arrow, ElidingLabel* latest, QWidget* parent)
    : QWidget(parent), m_current(current), m_arrow(arrow), m_latest(latest)
{
    setObjectName(QStringLiteral("versionLine"));
    for (QWidget* label :
         {static_cast<QWidget*>(current), static_cast<QWidget*>(arrow), static_cast<QWidget*>(latest)})
        label->setParent(this);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize VersionLine::measure(QSize (QWidget::*hint)() const) const
{
    QSize size = (m_current->*hint)();
    if (!m_latest->isHidden()) {
        for (const QWidget* label :
             {static_cast<const QWidget*>(m_arrow), static_cast<const QWidget*>(m_latest)}) {
            const QSize part = (label->*hint)();
            size = QSize(size.width() + spacing + part.width(), std::max(size.height(), part.height()));
        }
    }
    return size;
}

QSize VersionLine::sizeHint() const
{
    return measure(&QWidget::sizeHint);
}

QSize VersionLine::minimumSizeHint() const
{
    return measure(&QWidget::minimumSizeHint);
}

bool VersionLine::event(QEvent* event)
{
    // The labels' texts and the new version's showing change what the line needs.
    if (event->type() == QEvent::LayoutRequest)
        updateGeometry();
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize ||
        event->type() == QEvent::Show)
        place();
    return handled;
}

void VersionLine::place()
{
    const bool both = !m_latest->isHidden();
    const int arrow = both ? m_arrow->sizeHint().width() : 0;
    const auto [current, latest] =
        both ? ElidingLabel::shareWidth(m_current->sizeHint().width(), m_latest->sizeHint().width(),
                                        width() - arrow - 2 * spacing)
             : std::pair(std::min(m_current->sizeHint().width(), width()), 0);
    // The arrow follows the installed version as it is shown, cut or whole.
    const QFontMetrics metrics = m_current->fontMetrics();
    const int shown =
        metrics.horizontalAdvance(metrics.elidedText(m_current->fullText(), Qt::ElideRight, current)) + 1;
    int x = 0;
    const auto put = [this, &x](QWidget* label, int labelWidth) {
        const int labelHeight = label->sizeHint().height();
        label->setGeometry(x, (height() - labelHeight) / 2, labelWidth, labelHeight);
        x += labelWidth + spacing;
    };
    put(m_current, std::min(current, shown));
    if (both) {
        put(m_arrow, arrow);
        put(m_latest, latest);
    }
}

} // namespace norvelle
