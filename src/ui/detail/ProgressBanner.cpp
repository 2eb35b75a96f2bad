#include "ui/detail/ProgressBanner.h"

#include "ui/detail/MetadataFormat.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

namespace norvelle {

ProgressBanner::ProgressBanner(const Names& names, const QColor& color, int spinnerWidth, QWidget* parent)
    : Banner(color, nullptr, parent)
{
    setObjectName(QString::fromLatin1(names.banner));
    contentLayout()->setSpacing(12);

    m_header = new QHBoxLayout;
    m_header->setSpacing(12);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    m_title = makePlainLabel(QString(), TextStyles::font(TextStyles::Style::body, QFont::Medium), QColor(),
                             this, names.title);
    m_step = makePlainLabel(QString(), TextStyles::font(TextStyles::Style::subheadline),
                            SystemColors::secondary(), this, names.step);
    m_step->setWordWrap(true);
    m_step->setMaximumHeight(m_step->fontMetrics().lineSpacing() * 2 + 2);
    texts->addWidget(m_title);
    texts->addWidget(m_step);
    m_header->addLayout(texts, 1);
    m_spinner = new QProgressBar(this);
    m_spinner->setObjectName(QString::fromLatin1(names.spinner));
    m_spinner->setRange(0, 0);
    m_spinner->setTextVisible(false);
    m_spinner->setFixedSize(spinnerWidth, 8);
    m_header->addWidget(m_spinner, 0, Qt::AlignVCenter);
    contentLayout()->addLayout(m_header);

    m_barBox = new QWidget(this);
    m_barBox->setObjectName(QString::fromLatin1(names.progressBox));
    auto* barLayout = new QVBoxLayout(m_barBox);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->setSpacing(4);
    m_bar = new QProgressBar(m_barBox);
    m_bar->setObjectName(QString::fromLatin1(names.progressBar));
    m_bar->setRange(0, 1000);
    m_bar->setTextVisible(false);
    m_bar->setFixedHeight(6);
    barLayout->addWidget(m_bar);
    auto* captions = new QHBoxLayout;
    const QFont caption = TextStyles::font(TextStyles::Style::caption);
    m_percentage = makePlainLabel(QString(), caption, SystemColors::secondary(), m_barBox, names.percentage);
    m_estimate = makePlainLabel(QString(), caption, SystemColors::secondary(), m_barBox, names.estimate);
    captions->addWidget(m_percentage);
    captions->addStretch();
    captions->addWidget(m_estimate);
    barLayout->addLayout(captions);
    contentLayout()->addWidget(m_barBox);
}

void ProgressBanner::showStatus(const QColor& color, const QString& title, const QString& step, bool busy)
{
    setColor(color);
    m_title->setText(title);
    setTextColor(m_title, color);
    m_step->setText(step);
    m_spinner->setVisible(busy);
}

void ProgressBanner::showFraction(double fraction, const QString& percentage)
{
    m_barBox->setVisible(isPartway(fraction));
    m_bar->setValue(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 1000));
    QPalette barPalette = m_bar->palette();
    barPalette.setColor(QPalette::Highlight, color());
    m_bar->setPalette(barPalette);
    m_percentage->setText(percentage);
}

void ProgressBanner::showEstimate(const std::optional<QDateTime>& completion)
{
    m_estimate->setVisible(completion.has_value());
    if (completion)
        m_estimate->setText(QStringLiteral("Est. ") +
                            MetadataFormat::relativeShort(*completion, QDateTime::currentDateTime()));
}

} // namespace norvelle
