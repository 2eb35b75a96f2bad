#include "ui/detail/SkippedVersionView.h"

#include "ui/main/components/Banner.h"
#include "ui/main/components/ElidingLabel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"

#include "ui/main/components/PlainLabel.h"
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace norvelle {

namespace {

} // namespace

SkippedVersionView::SkippedVersionView(std::shared_ptr<Application> application,
                                       std::function<void()> onUnskip, QWidget* parent)
    : QWidget(parent), m_application(std::move(application)), m_onUnskip(std::move(onUnskip))
{
    setObjectName(QStringLiteral("skippedVersionView"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* banner = new Banner(SystemColors::secondary(), nullptr, this);
    outer->addWidget(banner);

    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    auto* title = makePlainLabel(QStringLiteral("Update Skipped"),
                                 TextStyles::font(TextStyles::Style::body, QFont::Medium),
                                 SystemColors::primary(), banner);
    title->setObjectName(QStringLiteral("skippedTitle"));
    texts->addWidget(title);

    // The version in bold, drawn as its own plain label so the version text is never markup.
    m_versionLine = new QWidget(banner);
    auto* line = new QHBoxLayout(m_versionLine);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(0);
    const QFont subheadline = TextStyles::font(TextStyles::Style::subheadline);
    line->addWidget(makePlainLabel(QStringLiteral("You chose to skip the update to "), subheadline,
                                   SystemColors::secondary(), m_versionLine));
    QFont bold = subheadline;
    bold.setBold(true);
    m_version = new ElidingLabel(m_versionLine);
    setUpPlainLabel(m_version, bold, SystemColors::secondary(), "skippedVersionText");
    line->addWidget(m_version);
    line->addStretch();
    texts->addWidget(m_versionLine);
    row->addLayout(texts);
    row->addStretch();

    auto* unskip = new QPushButton(QStringLiteral("Unskip"), banner);
    unskip->setObjectName(QStringLiteral("unskipButton"));
    connect(unskip, &QPushButton::clicked, this, [this] {
        if (m_onUnskip)
            m_onUnskip();
    });
    row->addWidget(unskip);
    banner->contentLayout()->addLayout(row);
    sync();
}

void SkippedVersionView::sync()
{
    const auto skipped = m_application->skippedVersion();
    m_versionLine->setVisible(skipped.has_value());
    m_version->setFullText(skipped.value_or(QString()));
}

} // namespace norvelle
