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
    m_percent = UpdateSheetParts::label(QString(), UpdateSheetParts::font(TextStyles::Style::headline),
                                        UpdateSheetParts::Tone::secondary, this);
    m_percent->setObjectName(QStringLiteral("percentText"));
    header->addWidget(m_percent);
    column->addLayout(header);

    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("overallProgressBar"));
    m_bar->setRange(0, 1000);
    m_bar->setTextVisible(false);
    m_bar->setMaximumHeight(8);
    QPalette palette = m_bar->palette();
    palette.setColor(QPalette::Highlight, SystemColors::blue());
    m_bar->setPalette(palette);
    column->addWidget(m_bar);
    setOverallProgress(overallProgress);
}

void UpdateInProgressView::setOverallProgress(double overallProgress)
{
    const QString text = ProcessingView::percentText(overallProgress);
    if (m_percent->text() != text)
        m_percent->setText(text);
    const int value = static_cast<int>(qBound(0.0, overallProgress, 1.0) * 1000);
    if (m_bar->value() != value)
        m_bar->setValue(value);
}

} // namespace norvelle
