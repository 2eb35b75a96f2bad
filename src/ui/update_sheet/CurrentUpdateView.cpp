#include "ui/update_sheet/CurrentUpdateView.h"

#include "ui/main/components/Card.h"
#include "ui/main/components/SystemColors.h"
#include "ui/update_sheet/BatchProgressPanel.h"
#include "ui/update_sheet/UpdateSheetParts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace norvelle {

CurrentUpdateView::CurrentUpdateView(std::shared_ptr<Application> app, const UpdateProgress& progress,
                                     QWidget* parent)
    : QWidget(parent)
{
    using S = UpdateProgress::Status;
    setObjectName(QStringLiteral("currentUpdate"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    auto* title = UpdateSheetParts::sectionTitle(QStringLiteral("Currently Updating"), this);
    column->addWidget(title);

    auto* card = new Card(Card::tint(SystemColors::primary(), true), std::nullopt, this);
    card->contentLayout()->setSpacing(16);
    auto* header = new QWidget(card);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);
    row->addWidget(UpdateSheetParts::icon(*app, 64, 12, header));
    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    auto* name = UpdateSheetParts::label(app->name(), UpdateSheetParts::font(TextStyles::Style::title3, QFont::Medium),
                                         SystemColors::primary(), header);
    name->setObjectName(QStringLiteral("appName"));
    text->addWidget(name);
    const QColor latest = progress.status == S::failed ? SystemColors::red() : SystemColors::green();
    text->addWidget(UpdateSheetParts::versionLine(*app, latest, 4, header));
    auto* details = new QHBoxLayout;
    details->setSpacing(8);
    if (QWidget* badge = UpdateSheetParts::sourceBadge(*app, header))
        details->addWidget(badge);
    if (progress.status != S::queued) {
        auto* step = UpdateSheetParts::label(progress.currentStep, UpdateSheetParts::font(TextStyles::Style::caption),
                                             SystemColors::secondary(), header);
        step->setObjectName(QStringLiteral("currentStep"));
        details->addWidget(step);
    }
    details->addStretch(1);
    text->addLayout(details);
    row->addLayout(text, 1);
    card->addWidget(header);
    if (progress.status != S::failed && progress.status != S::completed)
        card->addWidget(new BatchProgressPanel(progress, {}, card));
    column->addWidget(card);
}

} // namespace norvelle
