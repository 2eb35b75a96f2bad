#include "ui/settings/ExperimentalView.h"

#include "ui/settings/SettingsStyle.h"

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

} // namespace norvelle
