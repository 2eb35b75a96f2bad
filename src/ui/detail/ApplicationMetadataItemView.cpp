#include "ui/detail/ApplicationMetadataItemView.h"

#include "ui/main/components/ClampedLabel.h"
#include "ui/main/components/ElidingLabel.h"
#include "ui/main/components/PaletteFollower.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"

#include "ui/main/components/PlainLabel.h"
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace norvelle {

ApplicationMetadataItemView::ApplicationMetadataItemView(const QString& title, const QString& value,
                                                         const std::optional<QString>& subtitle,
                                                         std::function<void()> onTap, bool valueIsAddress,
                                                         QWidget* parent)
    : QWidget(parent), m_titleText(title), m_onTap(std::move(onTap))
{
    setObjectName(QStringLiteral("metadataItem"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(makePlainLabel(title.toUpper(),
                                     TextStyles::font(TextStyles::Style::subheadline, QFont::DemiBold),
                                     SystemColors::tertiary(), this, "metadataTitle", Qt::AlignHCenter));
    QFont valueFont = TextStyles::font(TextStyles::Style::body, QFont::DemiBold);
    valueFont.setPointSizeF(valueFont.pointSizeF() * 18.0 / 13.0);
    // A value can be longer than a cell is wide: at most three lines of it, an address on one
    // (never broken inside a word), the cask's name below on one, and none widens the row.
    m_value = new ClampedLabel(valueIsAddress ? 1 : 3, this);
    setUpPlainLabel(m_value, valueFont, SystemColors::secondary(), "metadataValue", Qt::AlignHCenter);
    m_value->setFullText(value);
    layout->addWidget(m_value);
    if (subtitle) {
        layout->addSpacing(2);
        auto* line = new ElidingLabel(this);
        setUpPlainLabel(line, TextStyles::font(TextStyles::Style::subheadline), SystemColors::secondary(),
                        "metadataSubtitle", Qt::AlignHCenter);
        line->setFullText(*subtitle);
        m_subtitle = line;
        layout->addWidget(m_subtitle);
    }
    if (m_onTap)
        setCursor(Qt::PointingHandCursor);
    PaletteFollower::follow(this, [this] {
        setTextColor(findChild<QLabel*>(QStringLiteral("metadataTitle")), SystemColors::tertiary());
        setTextColor(m_value, SystemColors::secondary());
        if (m_subtitle)
            setTextColor(m_subtitle, SystemColors::secondary());
    });
}

QString ApplicationMetadataItemView::value() const
{
    return m_value->fullText();
}

void ApplicationMetadataItemView::activate()
{
    if (m_onTap)
        m_onTap();
}

void ApplicationMetadataItemView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_onTap && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        activate();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

} // namespace norvelle
