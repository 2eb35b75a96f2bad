#include "ui/onboarding/SourcesPageView.h"

#include "ui/main/components/SystemColors.h"
#include "ui/onboarding/OnboardingCard.h"
#include "ui/onboarding/OnboardingStyle.h"
#include "ui/onboarding/TourPageHeader.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace norvelle {

namespace {

// One source: its symbol in its own colour, the name and the description on a card of the
// secondary colour, whatever the symbol's colour. The description wraps, never truncates.
QWidget* sourceCard(const QString& icon, const QString& title, const QString& description, const QColor& color,
                    QWidget* parent)
{
    auto* card = new OnboardingCard(OnboardingCard::Fill::secondary, {}, parent);
    card->setObjectName(QStringLiteral("sourceCard"));
    auto* row = new QHBoxLayout;
    row->setSpacing(16);
    auto* symbol = OnboardingStyle::symbol(icon, 24, color, card, OnboardingStyle::Tone::primary, "sourceIcon");
    symbol->setFixedWidth(32);
    row->addWidget(symbol);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(OnboardingStyle::label(title, OnboardingStyle::font(TextStyles::Style::headline, QFont::DemiBold),
                                            OnboardingStyle::Tone::primary, card, "sourceTitle"));
    texts->addWidget(OnboardingStyle::label(description, OnboardingStyle::font(TextStyles::Style::body),
                                            OnboardingStyle::Tone::secondary, card, "sourceDescription",
                                            Qt::AlignLeft, true));
    row->addLayout(texts, 1);
    card->contentLayout()->addLayout(row);
    return card;
}

} // namespace

QString SourcesPageView::boldSpans(const QString& text)
{
    const QStringList pieces = text.toHtmlEscaped().split(QStringLiteral("**"));
    QString html;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        // Odd pieces sit between a pair; a lone pair opener at the end stays as written.
        const bool bold = i % 2 == 1 && i + 1 < pieces.size();
        html += bold ? QStringLiteral("<b>") + pieces.at(i) + QStringLiteral("</b>")
                     : (i % 2 == 1 ? QStringLiteral("**") : QString()) + pieces.at(i);
    }
    return html;
}

SourcesPageView::SourcesPageView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("sourcesPage"));
    auto* column = new QVBoxLayout(this);
    column->setSpacing(32);
    column->addStretch(1);
    column->addLayout(addTourPageHeader(
        this, QStringLiteral("Updates from Where?"),
        QStringLiteral("Norvelle intelligently grabs updates from all the sources you use below"), 12));

    auto* cards = new QWidget(this);
    cards->setObjectName(QStringLiteral("sourceCards"));
    cards->setFixedWidth(500);
    auto* cardColumn = new QVBoxLayout(cards);
    cardColumn->setContentsMargins(0, 0, 0, 0);
    cardColumn->setSpacing(16);
    cardColumn->addWidget(sourceCard(QStringLiteral("sparkles"), QStringLiteral("Sparkle"),
                                     QStringLiteral("Native Mac apps with built-in update mechanisms"),
                                     SystemColors::purple(), cards));
    cardColumn->addWidget(sourceCard(QStringLiteral("bag.fill"), QStringLiteral("App Store"),
                                     QStringLiteral("Apps installed via the App Store (optional: requires MAS CLI)"),
                                     SystemColors::blue(), cards));
    cardColumn->addWidget(sourceCard(QStringLiteral("shippingbox.fill"), QStringLiteral("Brew"),
                                     QStringLiteral("Apps managed by Homebrew (optional: requires Brew CLI)"),
                                     SystemColors::orange(), cards));
    column->addWidget(cards, 0, Qt::AlignHCenter);

    auto* notes = new QVBoxLayout;
    notes->setSpacing(2);
    // The product's own fixed text; its one span between double asterisks is shown in bold.
    notes->addWidget(OnboardingStyle::label(
        boldSpans(QStringLiteral("Norvelle **does not rely on private macOS frameworks** directly to function which can break or be unreliable")),
        OnboardingStyle::font(TextStyles::Style::subheadline), OnboardingStyle::Tone::secondary, this,
        "frameworksNote", Qt::AlignHCenter, true, true));
    // One text of two lines, not two texts.
    auto* second = OnboardingStyle::label(
        QStringLiteral("Instead, it uses the trusted community-driven CLI tools (when installed) to detect updates") +
            QLatin1Char('\n') +
            QStringLiteral("When multiple update sources are detected, the source providing the newest update will be shown"),
        OnboardingStyle::font(TextStyles::Style::subheadline), OnboardingStyle::Tone::tertiary, this, "toolsNote",
        Qt::AlignHCenter, true);
    second->setContentsMargins(0, 2, 0, 0);
    notes->addWidget(second);
    column->addLayout(notes);
    column->addStretch(1);
}

} // namespace norvelle
