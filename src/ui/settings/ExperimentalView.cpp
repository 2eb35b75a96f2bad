#include "ui/settings/ExperimentalView.h"

#include "ui/SymbolIcons.h"
#include "ui/settings/SettingsStyle.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace norvelle {

ExperimentalView::ExperimentalView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("experimentalView"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->addStretch(1);

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("experimentalImage"));
    image->setAlignment(Qt::AlignHCenter);
    layout->addWidget(image);
    m_image = image;
    updateImage();

    auto* title = SettingsStyle::label(QStringLiteral("No Experiments Available"), "experimentalTitle", this);
    QFont font = title->font();
    font.setPointSize(font.pointSize() + 5);
    font.setWeight(QFont::Bold);
    title->setFont(font);
    title->setAlignment(Qt::AlignHCenter);
    layout->addWidget(title);

    auto* description =
        SettingsStyle::label(QStringLiteral("Experimental features will show up here when available"),
                             "experimentalDescription", this);
    description->setAlignment(Qt::AlignHCenter);
    description->setWordWrap(true);
    SettingsStyle::secondary(description);
    layout->addWidget(description);
    layout->addStretch(1);
}

void ExperimentalView::updateImage()
{
    // The unavailable-content image: the symbol in the secondary text colour, large.
    const QPalette& colors = palette();
    const QColor text = colors.color(QPalette::WindowText);
    const QColor window = colors.color(QPalette::Window);
    const QColor secondary = QColor::fromRgbF((text.redF() + window.redF()) / 2, (text.greenF() + window.greenF()) / 2,
                                              (text.blueF() + window.blueF()) / 2);
    m_image->setPixmap(SymbolIcons::pixmap(QStringLiteral("flask"), imageSize, secondary, devicePixelRatioF()));
}

void ExperimentalView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_image)
        updateImage();
}

} // namespace norvelle
