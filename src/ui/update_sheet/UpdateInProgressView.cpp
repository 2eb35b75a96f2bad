#include "ui/update_sheet/UpdateInProgressView.h"

#include "ui/main/components/SystemColors.h"
#include "ui/update_sheet/ProcessingView.h"
#include "ui/update_sheet/UpdateSheetParts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace norvelle {

UpdateInProgressView::UpdateInProgressView(double overallProgress, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("updateInProgress"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    auto* header = new QHBoxLayout;
    header->addWidget(UpdateSheetParts::sectionTitle(QStringLiteral("Progress"), this));
    header->addStretch(1);
    auto* percent = UpdateSheetParts::label(ProcessingView::percentText(overallProgress),
                                            UpdateSheetParts::font(TextStyles::Style::headline),
                                            SystemColors::secondary(), this);
    percent->setObjectName(QStringLiteral("percentText"));
    header->addWidget(percent);
    column->addLayout(header);

    auto* bar = new QProgressBar(this);
    bar->setObjectName(QStringLiteral("overallProgressBar"));
    bar->setRange(0, 1000);
    bar->setValue(static_cast<int>(qBound(0.0, overallProgress, 1.0) * 1000));
    bar->setTextVisible(false);
    bar->setMaximumHeight(8);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Highlight, SystemColors::blue());
    bar->setPalette(palette);
    column->addWidget(bar);
}

} // namespace norvelle
