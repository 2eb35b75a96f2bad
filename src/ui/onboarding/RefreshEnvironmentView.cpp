#include "ui/onboarding/RefreshEnvironmentView.h"

#include "ui/onboarding/OnboardingStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace norvelle {

RefreshEnvironmentView::RefreshEnvironmentView(const Content& content, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("refreshEnvironmentView"));
    setFixedSize(pageWidth, pageHeight);
    using Tone = OnboardingStyle::Tone;
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(24);
    column->addStretch(1);

    if (content.icon) {
        column->addWidget(OnboardingStyle::symbol(*content.icon, 64, content.iconColor, this, Tone::primary,
                                                  "statusSymbol"),
                          0, Qt::AlignHCenter);
    } else {
        auto* spinner = new QProgressBar(this);
        spinner->setObjectName(QStringLiteral("statusSpinner"));
        spinner->setRange(0, 0);
        spinner->setTextVisible(false);
        spinner->setFixedSize(96, 8);
        column->addWidget(spinner, 0, Qt::AlignHCenter);
    }

    auto* texts = new QVBoxLayout;
    texts->setSpacing(8);
    texts->addWidget(OnboardingStyle::label(content.title, OnboardingStyle::sizedFont(20, QFont::Medium),
                                            Tone::primary, this, "statusTitle", Qt::AlignHCenter),
                     0, Qt::AlignHCenter);
    auto* message = OnboardingStyle::label(content.message, OnboardingStyle::font(TextStyles::Style::body),
                                           Tone::secondary, this, "statusMessage", Qt::AlignHCenter, true);
    message->setFixedWidth(400); // wraps within 400 points, centred
    message->setMinimumHeight(message->heightForWidth(400));
    texts->addWidget(message, 0, Qt::AlignHCenter);
    column->addLayout(texts);
    column->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(16, 16, 16, 16);
    buttons->addStretch(1);
    if (content.showRefreshButton) {
        m_refresh = OnboardingStyle::prominentButton(
            content.isRefreshing ? QStringLiteral("Refreshing...") : QStringLiteral("Refresh"), "statusRefreshButton",
            this);
        m_refresh->setEnabled(!content.isRefreshing);
        connect(m_refresh, &QPushButton::clicked, this, &RefreshEnvironmentView::refreshClicked);
        buttons->addWidget(m_refresh);
    }
    m_done = OnboardingStyle::prominentButton(QStringLiteral("Done"), "statusDoneButton", this);
    m_done->setDefault(true);
    connect(m_done, &QPushButton::clicked, this, &RefreshEnvironmentView::doneClicked);
    buttons->addWidget(m_done);
    column->addLayout(buttons);
}

} // namespace norvelle
