#include "ui/onboarding/InstallSourceView.h"

#include "platform/UrlOpener.h"
#include "ui/detail/LinkPolicy.h"
#include "ui/onboarding/CodeCommandView.h"
#include "ui/onboarding/OnboardingStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace norvelle {

InstallSourceView::InstallSourceView(const Content& content, CopyFlag& copied, UrlOpener* urlOpener,
                                     Clipboard* clipboard, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("installSourceView"));
    using Style = TextStyles::Style;
    using Tone = OnboardingStyle::Tone;
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);

    auto* header = new QVBoxLayout;
    header->setSpacing(8);
    header->addWidget(OnboardingStyle::label(content.title, OnboardingStyle::font(Style::title3, QFont::Medium),
                                             Tone::primary, this, "installTitle"));
    header->addWidget(OnboardingStyle::label(content.description, OnboardingStyle::font(Style::body),
                                             Tone::secondary, this, "installDescription", Qt::AlignLeft, true));
    column->addLayout(header);

    auto* actions = new QVBoxLayout;
    actions->setSpacing(12);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    m_openTerminal = OnboardingStyle::prominentButton(QStringLiteral("Open in Terminal"), "openInTerminalButton", this);
    m_openTerminal->setEnabled(!content.isDisabled);
    buttons->addWidget(m_openTerminal);
    m_learnMore = OnboardingStyle::button(QStringLiteral("Learn More"), "learnMoreButton", this);
    buttons->addWidget(m_learnMore);
    buttons->addStretch(1);
    actions->addLayout(buttons);

    auto* hint = OnboardingStyle::label(QStringLiteral("Or copy and paste this command manually:"),
                                        OnboardingStyle::font(Style::subheadline), Tone::secondary, this,
                                        "copyHint");
    hint->setContentsMargins(0, 6, 0, 0);
    actions->addWidget(hint);
    m_commandView = new CodeCommandView(content.command, copied, clipboard, this);
    actions->addWidget(m_commandView);
    column->addLayout(actions);

    connect(m_openTerminal, &QPushButton::clicked, this, &InstallSourceView::openTerminalClicked);
    const QUrl learnMore(content.learnMoreURL, QUrl::StrictMode);
    connect(m_learnMore, &QPushButton::clicked, this, [this, urlOpener, clipboard, learnMore] {
        // Only the fixed web pages of the two projects come here; anything else opens nothing.
        if (learnMore.isValid() && learnMore.scheme() == QLatin1String("https"))
            LinkPolicy::openTrusted(this, urlOpener, learnMore, clipboard);
    });
}

} // namespace norvelle
