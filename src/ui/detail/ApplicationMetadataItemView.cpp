#include "ui/detail/ApplicationMetadataItemView.h"

#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"

#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace norvelle {

namespace {

QLabel* cellLabel(const QString& text, const QFont& font, const QColor& color, const char* name, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color); // on a Base background labels draw in Text
    label->setPalette(palette);
    return label;
}

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
    layout->addWidget(cellLabel(title.toUpper(), TextStyles::font(TextStyles::Style::subheadline, QFont::DemiBold),
                                SystemColors::tertiary(), "metadataTitle", this));
    QFont valueFont = TextStyles::font(TextStyles::Style::body, QFont::DemiBold);
    valueFont.setPointSizeF(valueFont.pointSizeF() * 18.0 / 13.0);
    m_value = cellLabel(value, valueFont, SystemColors::secondary(), "metadataValue", this);
    m_value->setWordWrap(true);
    layout->addWidget(m_value);
    if (subtitle) {
        layout->addSpacing(2);
        m_subtitle = cellLabel(*subtitle, TextStyles::font(TextStyles::Style::subheadline), SystemColors::secondary(),
                               "metadataSubtitle", this);
        layout->addWidget(m_subtitle);
    }
    if (m_onTap)
        setCursor(Qt::PointingHandCursor);
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
