#include "ui/detail/ProgressBanner.h"

#include "ui/detail/MetadataFormat.h"
#include "ui/main/components/ClampedLabel.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

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
    m_step = new ClampedLabel(2, this);
    m_step->setObjectName(QString::fromLatin1(names.step));
    m_step->setFont(TextStyles::font(TextStyles::Style::subheadline));
    setTextColor(m_step, SystemColors::secondary());
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

    m_estimateTimer = new QTimer(this);
    m_estimateTimer->setInterval(1000);
    connect(m_estimateTimer, &QTimer::timeout, this, &ProgressBanner::showEstimate);
}

void ProgressBanner::showStatus(const QColor& color, const QString& title, const QString& step, bool busy)
{
    setColor(color);
    m_title->setText(title);
    setTextColor(m_title, color);
    m_step->setFullText(step);
    m_spinner->setVisible(busy);
}

QString ProgressBanner::percentageText(double fraction)
{
    return QStringLiteral("%1%").arg(static_cast<long long>(std::trunc(fraction * 100)));
}

void ProgressBanner::showProgress(double fraction, const std::optional<QDateTime>& completion)
{
    const bool partway = isPartway(fraction);
    m_barBox->setVisible(partway);
    // Not a number counts as nothing done.
    m_bar->setValue(partway ? static_cast<int>(fraction * 1000) : (fraction >= 1 ? 1000 : 0));
    QPalette barPalette = m_bar->palette();
    barPalette.setColor(QPalette::Highlight, color());
    m_bar->setPalette(barPalette);
    m_percentage->setText(partway ? percentageText(fraction) : QString());
    m_completion = partway ? completion : std::nullopt;
    showEstimate();
    // The estimate is a distance from now, so it keeps moving while it shows.
    if (!m_completion)
        m_estimateTimer->stop();
    else if (!m_estimateTimer->isActive())
        m_estimateTimer->start();
}

void ProgressBanner::showEstimate()
{
    m_estimate->setVisible(m_completion.has_value());
    if (m_completion)
        m_estimate->setText(QStringLiteral("Est. ") +
                            MetadataFormat::relativeShort(*m_completion, QDateTime::currentDateTime()));
}

} // namespace norvelle
