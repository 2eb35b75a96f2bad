#include "ui/main/ApplicationListHeaderView.h"

#include "ui/main/SidebarRules.h"
#include "ui/main/components/CountCapsule.h"
#include "ui/main/components/SystemColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace norvelle {

ApplicationListHeaderView::ApplicationListHeaderView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("applicationListHeader"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 4, 16, 8);
    row->setSpacing(4);

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("headerLabel"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->setForegroundRole(QPalette::PlaceholderText);
    row->addWidget(m_label);

    m_count = new CountCapsule(&SystemColors::secondary, 0.2, this);
    m_count->setObjectName(QStringLiteral("headerCount"));
    row->addWidget(m_count);
    row->addStretch(1);

    m_clearFilter = new QPushButton(QStringLiteral("Clear Filter"), this);
    m_clearFilter->setObjectName(QStringLiteral("clearFilterButton"));
    m_clearFilter->setFlat(true);
    m_clearFilter->setCursor(Qt::PointingHandCursor);
    m_clearFilter->setStyleSheet(QStringLiteral("QPushButton { color: #007aff; border: none; }"));
    row->addWidget(m_clearFilter);

    m_showUpdates = new QPushButton(this);
    m_showUpdates->setObjectName(QStringLiteral("showUpdatesButton"));
    m_showUpdates->setFlat(true);
    m_showUpdates->setCursor(Qt::PointingHandCursor);
    m_showUpdates->setStyleSheet(QStringLiteral("QPushButton { border: none; }"));
    // "Updates" and its count capsule, both green; clicks pass through them to the button.
    auto* updatesRow = new QHBoxLayout(m_showUpdates);
    updatesRow->setContentsMargins(0, 0, 0, 0);
    updatesRow->setSpacing(4);
    auto* updatesLabel = new QLabel(QStringLiteral("Updates"), m_showUpdates);
    updatesLabel->setObjectName(QStringLiteral("showUpdatesLabel"));
    updatesLabel->setTextFormat(Qt::PlainText);
    updatesLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    updatesLabel->setStyleSheet(QStringLiteral("QLabel { color: %1; font-weight: 500; }").arg(SystemColors::green().name()));
    m_updatesCount = new CountCapsule(&SystemColors::green, 0.15, m_showUpdates);
    m_updatesCount->setObjectName(QStringLiteral("showUpdatesCount"));
    updatesRow->addWidget(updatesLabel);
    updatesRow->addWidget(m_updatesCount);
    row->addWidget(m_showUpdates);

    connect(m_clearFilter, &QPushButton::clicked, this, &ApplicationListHeaderView::clearFilterClicked);
    connect(m_showUpdates, &QPushButton::clicked, this, &ApplicationListHeaderView::showUpdatesClicked);
    setState(ApplicationFilter::all, 0, 0, false);
}

void ApplicationListHeaderView::setState(ApplicationFilter currentFilter, int filteredCount, int updatesCount,
                                         bool shouldHide)
{
    setVisible(!shouldHide);
    m_label->setText(sidebar::headerLabel(currentFilter, filteredCount));
    m_count->setCount(filteredCount);
    m_clearFilter->setVisible(currentFilter != ApplicationFilter::all);
    const bool offerUpdates = currentFilter == ApplicationFilter::all && updatesCount > 0;
    m_showUpdates->setVisible(offerUpdates);
    m_updatesCount->setCount(updatesCount);
    m_showUpdates->setMinimumSize(m_showUpdates->layout()->sizeHint());
}

} // namespace norvelle
