#include "ui/detail/ApplicationMetadataItemView.h"

#include "ui/main/components/PaletteFollower.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"

#include "ui/main/components/PlainLabel.h"
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace norvelle {

namespace {

} // namespace

ApplicationMetadataItemView::ApplicationMetadataItemView(const QString& title, const QString& value,
                                                         const std::optional<QString>& subtitle,
                                                         std::function<void()> onTap, QWidget* parent)
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
    m_value =
        makePlainLabel(value, valueFont, SystemColors::secondary(), this, "metadataValue", Qt::AlignHCenter);
    m_value->setWordWrap(true);
    // At most three lines of the value.
    m_value->setMaximumHeight(m_value->fontMetrics().lineSpacing() * 3 + 2);
    layout->addWidget(m_value);
    if (subtitle) {
        layout->addSpacing(2);
        m_subtitle = makePlainLabel(*subtitle, TextStyles::font(TextStyles::Style::subheadline),
                                    SystemColors::secondary(), this, "metadataSubtitle", Qt::AlignHCenter);
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
    return m_value->text();
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
