#include "ui/main/ApplicationListHeaderView.h"

#include "ui/main/SidebarRules.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace norvelle {

namespace {

const char* const kCapsule = "QLabel { color: palette(mid); background: rgba(128,128,128,50); border-radius: 8px;"
                             " padding: 2px 6px; font-weight: 500; }";

} // namespace

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

    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("headerCount"));
    m_count->setTextFormat(Qt::PlainText);
    m_count->setStyleSheet(QString::fromLatin1(kCapsule));
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
    m_showUpdates->setStyleSheet(QStringLiteral("QPushButton { color: #34c759; border: none; font-weight: 500; }"));
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
    m_count->setText(QString::number(filteredCount));
    m_clearFilter->setVisible(currentFilter != ApplicationFilter::all);
    const bool offerUpdates = currentFilter == ApplicationFilter::all && updatesCount > 0;
    m_showUpdates->setVisible(offerUpdates);
    // The label is plain: only our own text and a number go into it.
    m_showUpdates->setText(QStringLiteral("Updates  %1").arg(updatesCount));
}

} // namespace norvelle
