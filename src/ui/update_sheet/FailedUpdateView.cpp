#include "ui/update_sheet/FailedUpdateView.h"

#include "services/ApplicationStore.h"
#include "ui/detail/RefreshProgressView.h"
#include "ui/main/components/Card.h"
#include "ui/main/components/ElidingLabel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/update_sheet/UpdateSheetParts.h"
#include "util/Async.h"
#include "viewmodels/DetailViewModel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
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
    for (const Update::Result& result : failedResults) {
        if (result.application)
            cards->addWidget(makeCard(result, failedProgressMap));
    }
    column->addLayout(cards);

    connect(&m_store, &ApplicationStore::selectedApplicationIdChanged, this,
            &FailedUpdateView::updateRefreshStates);
    connect(&m_detailViewModel, &DetailViewModel::isRefreshingChanged, this,
            &FailedUpdateView::updateRefreshStates);
    connect(&m_detailViewModel, &DetailViewModel::showRefreshSuccessChanged, this,
            &FailedUpdateView::updateRefreshStates);
    connect(&m_detailViewModel, &DetailViewModel::refreshFailureChanged, this,
            &FailedUpdateView::updateRefreshStates);
    updateRefreshStates();
}

QWidget* FailedUpdateView::makeHeader(const Application& app, QWidget* parent)
{
    auto* header = new QWidget(parent);
    header->setObjectName(QStringLiteral("failedHeader"));
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    row->addWidget(UpdateSheetParts::icon(app, 48, 10, header));
    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    auto* name = UpdateSheetParts::elidedLabel(app.name(),
                                               UpdateSheetParts::font(TextStyles::Style::body, QFont::Medium),
                                               UpdateSheetParts::Tone::primary, header);
    name->setObjectName(QStringLiteral("appName"));
    text->addWidget(name);
    auto* versions = new QHBoxLayout;
    versions->setSpacing(4);
    const QFont sub = UpdateSheetParts::font(TextStyles::Style::subheadline);
    auto* current = UpdateSheetParts::elidedLabel(app.displayCurrentVersion(), sub,
                                                  UpdateSheetParts::Tone::secondary, header);
    current->setObjectName(QStringLiteral("currentVersion"));
    versions->addWidget(current);
    if (const auto latest = app.displayLatestVersion()) {
        versions->addWidget(
            UpdateSheetParts::label(QStringLiteral("→"), sub, UpdateSheetParts::Tone::secondary, header));
        auto* latestLabel = UpdateSheetParts::elidedLabel(
            *latest, UpdateSheetParts::font(TextStyles::Style::subheadline, QFont::Medium),
            SystemColors::red(), header);
        latestLabel->setObjectName(QStringLiteral("latestVersion"));
        versions->addWidget(latestLabel);
    }
    versions->addStretch(1);
    text->addLayout(versions);
    row->addLayout(text, 1);
    return header;
}

QWidget* FailedUpdateView::makeCard(const Update::Result& result,
                                    const QHash<QUuid, UpdateProgress>& failedProgressMap)
{
    const std::shared_ptr<Application> app = result.application;
    Card* card = UpdateSheetParts::card(this);
    card->setObjectName(QStringLiteral("failedCard"));
    card->setProperty("applicationName", app->name());
    card->addWidget(makeHeader(*app, card));

    auto* refreshPanel = new RefreshProgressView(app, true, card);
    refreshPanel->hide();
    card->addWidget(refreshPanel);
    m_cards.append(CardParts{app, card, card->contentLayout(), refreshPanel});

    const auto failed = failedProgressMap.constFind(app->id());
    if (failed != failedProgressMap.constEnd()) {
        const UpdateProgress progress = *failed;
        card->addWidget(UpdateSheetParts::progressPanel(
            progress, [this, result, progress] { return refresh(result, progress); }, m_detailViewModel,
            card));
    } else if (result.error && !result.error->isEmpty()) {
        // Without a failed record the panel has nothing to explain the failure with.
        auto* error = UpdateSheetParts::label(
            *result.error, UpdateSheetParts::font(TextStyles::Style::subheadline), SystemColors::red(), card);
        error->setObjectName(QStringLiteral("failureText"));
        error->setWordWrap(true);
        error->setToolTip(*result.error);
        error->setMaximumHeight(error->fontMetrics().lineSpacing() * 3 + 2);
        card->addWidget(error);
    }

    // A refresh (or the rediscovery after it) rewrites the versions; the header follows.
    QPointer<QWidget> cardGuard(card);
    QPointer<FailedUpdateView> guard(this);
    m_observers.push_back(app->addObserver([guard, cardGuard, app](Application::Field field) {
        if (field != Application::Field::update && field != Application::Field::currentVersion &&
            field != Application::Field::cask)
            return;
        postToMain([guard, cardGuard, app] {
            if (!guard || !cardGuard)
                return;
            auto* cardWidget = static_cast<Card*>(cardGuard.data());
            QWidget* old = cardWidget->findChild<QWidget*>(QStringLiteral("failedHeader"));
            QWidget* header = guard->makeHeader(*app, cardWidget);
            // The layout hands back the item that held the old header; it is ours to delete.
            if (old)
                delete cardWidget->contentLayout()->replaceWidget(old, header);
            delete old;
            guard->updateRefreshStates();
        });
    }));
    return card;
}

void FailedUpdateView::updateRefreshStates()
{
    const auto selected = m_store.selectedApplication();
    for (const CardParts& card : m_cards) {
        bool shown = false;
        if (selected && selected->id() == card.application->id()) {
            shown = m_detailViewModel.showsRefresh();
            if (shown)
                card.refreshPanel->setState(m_detailViewModel.isRefreshing(),
                                            m_detailViewModel.refreshFailure());
        }
        card.refreshPanel->setVisible(shown);
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
