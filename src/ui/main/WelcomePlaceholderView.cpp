#include "ui/main/WelcomePlaceholderView.h"

#include "coordinator/AppState.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace norvelle {

WelcomePlaceholderView::WelcomePlaceholderView(AppState& appState, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("welcomeTourPlaceholder"));
    auto* column = new QVBoxLayout(this);
    column->addStretch(1);
    auto* title = new QLabel(QStringLiteral("Norvelle"), this);
    QFont font = title->font();
    font.setPointSizeF(font.pointSizeF() * 2);
    font.setWeight(QFont::DemiBold);
    title->setFont(font);
    column->addWidget(title, 0, Qt::AlignHCenter);
    auto* start = new QPushButton(QStringLiteral("Get Started"), this);
    start->setObjectName(QStringLiteral("getStartedButton"));
    column->addWidget(start, 0, Qt::AlignHCenter);
    column->addStretch(1);
    connect(start, &QPushButton::clicked, this, [&appState] { appState.setHasCompletedWelcomeTour(true); });
}

} // namespace norvelle
