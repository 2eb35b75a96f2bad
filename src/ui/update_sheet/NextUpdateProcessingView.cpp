#include "ui/update_sheet/NextUpdateProcessingView.h"

#include "ui/update_sheet/UpdateSheetAppRow.h"
#include "ui/update_sheet/UpdateSheetParts.h"

#include <QVBoxLayout>

namespace norvelle {

NextUpdateProcessingView::NextUpdateProcessingView(const QList<std::shared_ptr<Application>>& upcomingApps,
                                                   QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("upNext"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    m_header = UpdateSheetParts::sectionHeader(QStringLiteral("Up Next"), upcomingApps.size(),
                                               QStringLiteral("upNext"), this);
    column->addWidget(m_header);
    m_rows = new QVBoxLayout;
    m_rows->setSpacing(8);
    column->addLayout(m_rows);
    append(upcomingApps);
}

void NextUpdateProcessingView::append(const QList<std::shared_ptr<Application>>& apps)
{
    for (const auto& app : apps) {
        auto* row = new UpdateSheetAppRow(UpdateSheetAppRow::Kind::upNext, app, this);
        m_rows->addWidget(row);
        m_rowWidgets.append(row);
    }
}

void NextUpdateProcessingView::setUpcoming(const QList<std::shared_ptr<Application>>& upcomingApps)
{
    const qsizetype drop = m_rowWidgets.size() - upcomingApps.size();
    bool suffix = drop >= 0;
    for (qsizetype i = 0; suffix && i < upcomingApps.size(); ++i)
        suffix = m_rowWidgets.at(drop + i)->application() == upcomingApps.at(i);
    if (!suffix) {
        qDeleteAll(m_rowWidgets);
        m_rowWidgets.clear();
        append(upcomingApps);
    } else {
        for (qsizetype i = 0; i < drop; ++i)
            delete m_rowWidgets.takeFirst();
    }
    UpdateSheetParts::setSectionCount(m_header, upcomingApps.size());
}

} // namespace norvelle
