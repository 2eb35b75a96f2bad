#include "ui/update_sheet/FailedUpdateView.h"

#include "services/ApplicationStore.h"
#include "ui/main/components/Card.h"
#include "ui/main/components/SystemColors.h"
#include "ui/update_sheet/BatchProgressPanel.h"
#include "ui/update_sheet/UpdateSheetParts.h"
#include "viewmodels/DetailViewModel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace norvelle {

FailedUpdateView::FailedUpdateView(DetailViewModel& detailViewModel, ApplicationStore& store,
                                   const QList<Update::Result>& failedResults,
                                   const QHash<QUuid, UpdateProgress>& failedProgressMap, QWidget* parent)
    : QWidget(parent), m_detailViewModel(detailViewModel), m_store(store)
{
    setObjectName(QStringLiteral("failedUpdates"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->addWidget(UpdateSheetParts::sectionHeader(QStringLiteral("Failed"), failedResults.size(),
                                                      QStringLiteral("failed"), this));
    auto* cards = new QVBoxLayout;
    cards->setSpacing(8);
    for (const Update::Result& result : failedResults)
        cards->addWidget(makeCard(result, failedProgressMap));
    column->addLayout(cards);

    connect(&m_store, &ApplicationStore::selectedApplicationIdChanged, this,
            &FailedUpdateView::updateRefreshStates);
    connect(&m_detailViewModel, &DetailViewModel::isRefreshingChanged, this, &FailedUpdateView::updateRefreshStates);
    connect(&m_detailViewModel, &DetailViewModel::showRefreshSuccessChanged, this,
            &FailedUpdateView::updateRefreshStates);
    updateRefreshStates();
}

QWidget* FailedUpdateView::makeCard(const Update::Result& result,
                                    const QHash<QUuid, UpdateProgress>& failedProgressMap)
{
    const Application& app = *result.application;
    auto* card = new Card(Card::tint(SystemColors::primary(), true), std::nullopt, this);
    card->setObjectName(QStringLiteral("failedCard"));
    card->setProperty("applicationName", app.name());

    auto* header = new QWidget(card);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    row->addWidget(UpdateSheetParts::icon(app, 48, 10, header));
    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    auto* name = UpdateSheetParts::label(app.name(), UpdateSheetParts::font(TextStyles::Style::body, QFont::Medium),
                                         SystemColors::primary(), header);
    name->setObjectName(QStringLiteral("appName"));
    text->addWidget(name);
    auto* versions = new QHBoxLayout;
    versions->setSpacing(4);
    const QFont sub = UpdateSheetParts::font(TextStyles::Style::subheadline);
    auto* current = UpdateSheetParts::label(app.displayCurrentVersion(), sub, SystemColors::secondary(), header);
    current->setObjectName(QStringLiteral("currentVersion"));
    versions->addWidget(current);
    if (const auto latest = app.displayLatestVersion()) {
        versions->addWidget(UpdateSheetParts::label(QStringLiteral("→"), sub, SystemColors::secondary(), header));
        auto* latestLabel =
            UpdateSheetParts::label(*latest, UpdateSheetParts::font(TextStyles::Style::subheadline, QFont::Medium),
                                    SystemColors::red(), header);
        latestLabel->setObjectName(QStringLiteral("latestVersion"));
        versions->addWidget(latestLabel);
    }
    versions->addStretch(1);
    text->addLayout(versions);
    row->addLayout(text);
    row->addStretch(1);
    card->addWidget(header);

    auto* refreshState = UpdateSheetParts::label(QString(), UpdateSheetParts::font(TextStyles::Style::subheadline),
                                                 SystemColors::secondary(), card);
    refreshState->setObjectName(QStringLiteral("refreshState"));
    refreshState->hide();
    card->addWidget(refreshState);
    m_cards.append(CardParts{app.id(), refreshState});

    const auto failed = failedProgressMap.constFind(app.id());
    if (failed != failedProgressMap.constEnd()) {
        const UpdateProgress progress = *failed;
        card->addWidget(new BatchProgressPanel(
            progress, [this, result, progress] { return refresh(result, progress); }, card));
    }
    return card;
}

void FailedUpdateView::updateRefreshStates()
{
    const auto selected = m_store.selectedApplication();
    for (const CardParts& card : m_cards) {
        bool shown = false;
        if (selected && selected->id() == card.applicationId) {
            if (m_detailViewModel.isRefreshing()) {
                card.refreshState->setText(QStringLiteral("Refreshing..."));
                shown = true;
            } else if (m_detailViewModel.showRefreshSuccess()) {
                card.refreshState->setText(QStringLiteral("Refreshed Successfully!"));
                shown = true;
            }
        }
        card.refreshState->setVisible(shown);
    }
}

QFuture<void> FailedUpdateView::refresh(const Update::Result& result, const UpdateProgress& failed)
{
    const QUuid id = result.application->id();
    m_store.setSelectedApplicationId(id);
    const auto current = m_detailViewModel.updateProgress();
    if (!current || !current->application || current->application->id() != id)
        m_detailViewModel.setUpdateProgress(failed);
    return m_detailViewModel.refreshApplication();
}

} // namespace norvelle
