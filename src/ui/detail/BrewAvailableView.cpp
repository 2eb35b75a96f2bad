#include "ui/detail/BrewAvailableView.h"

#include "coordinator/AppState.h"
#include "ui/detail/AdoptionProgressView.h"
#include "ui/detail/BrewManualActionView.h"
#include "ui/detail/LinkPolicy.h"
#include "ui/detail/PanelActions.h"
#include "ui/main/components/Card.h"
#include "ui/main/components/ClampedLabel.h"
#include "ui/main/components/ElidingLabel.h"
#include "ui/main/components/PaletteFollower.h"
#include "ui/main/components/PasswordBadgeView.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"
#include "util/Async.h"
#include "viewmodels/DetailViewModel.h"
#include "viewmodels/SettingsViewModel.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace norvelle {

namespace {

// A label with the given colour role taken from the palette now and on every theme change.
template <typename Label> Label* themed(Label* label, const QFont& font, QColor (*color)(), const char* name)
{
    setUpPlainLabel(label, font, QColor(), name);
    PaletteFollower::follow(label, [label, color] { setTextColor(label, color()); });
    return label;
}

QLabel* themedLabel(const QString& text, const QFont& font, QColor (*color)(), QWidget* parent,
                    const char* name)
{
    QLabel* label = themed(new QLabel(text, parent), font, color, name);
    label->setWordWrap(true);
    return label;
}

// The catalogue's words, of any length: a word wider than the panel (an address) breaks rather
// than widening it.
QLabel* themedCatalogueText(const QString& text, const QFont& font, QColor (*color)(), QWidget* parent,
                            const char* name)
{
    auto* label = themed(new ClampedLabel(ClampedLabel::anyNumberOfLines, parent), font, color, name);
    label->setFullText(text);
    return label;
}

// One line of the catalogue's, cut with "…" to the panel's width.
QLabel* themedCatalogueLine(const QString& text, const QFont& font, QColor (*color)(), QWidget* parent,
                            const char* name)
{
    auto* label = themed(new ElidingLabel(parent), font, color, name);
    label->setFullText(text);
    return label;
}

// The cask's homepage as a flat link whose address, however long, is cut with "…" to the width
// it is given and shown whole in its tooltip.
class HomepageLink : public QPushButton {
public:
    HomepageLink(const QString& address, QWidget* parent) : QPushButton(parent), m_address(address)
    {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed); // a button's own never shrinks
        display(address);
    }

    QSize sizeHint() const override { return withText(m_address); }
    QSize minimumSizeHint() const override { return withText(QStringLiteral("M…")); }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QPushButton::resizeEvent(event);
        const int room = width() - (QPushButton::sizeHint().width() - advance(m_shown));
        // elidedText measures finer than the whole pixels of an advance, and would cut an address
        // given just the width it asked for.
        display(advance(m_address) <= room
                    ? m_address
                    : fontMetrics().elidedText(m_address, Qt::ElideRight, std::max(0, room)));
    }

private:
    int advance(const QString& text) const { return fontMetrics().horizontalAdvance(text); }
    // The button's own hint for its frame, around `text` instead of what it shows now.
    QSize withText(const QString& text) const
    {
        QSize hint = QPushButton::sizeHint();
        hint.rwidth() += advance(text) - advance(m_shown);
        return hint;
    }
    void display(const QString& shown)
    {
        if (shown == m_shown && !text().isEmpty())
            return;
        m_shown = shown;
        // A button reads "&" as a mnemonic marker; the address must show as it is.
        setText(QString(shown).replace(QLatin1Char('&'), QStringLiteral("&&")));
        setToolTip(shown == m_address ? QString() : m_address);
    }

    QString m_address;
    QString m_shown;
};

QColor fixedRed()
{
    return SystemColors::red();
}

QColor fixedOrange()
{
    return SystemColors::orange();
}

} // namespace

QString BrewAvailableView::explanation(const QList<Application::Source>& sources)
{
    // The apostrophes are typographic; each text is kept whole so it reads as shown.
    // clang-format off
    if (sources.contains(Application::Source::appStore))
        return QStringLiteral("Paid Mac App Store apps shouldn’t be adopted to Homebrew, as their licenses don’t transfer.\n\nOtherwise, adopt this app’s cask to manage future updates automatically through Homebrew.");
    return QStringLiteral("Adopt this app’s cask to manage future updates automatically through Homebrew.");
    // clang-format on
}

bool BrewAvailableView::showsAdoptButton(const Cask& cask, const Inputs& inputs)
{
    return !cask.requiresSudo && !inputs.isAdopting && !inputs.adoptionProgress;
}

BrewAvailableView::BrewAvailableView(std::shared_ptr<Application> application, Inputs inputs,
                                     std::function<void()> onAdopt,
                                     std::function<QFuture<void>()> onRefreshApp, AppState& appState,
                                     SettingsViewModel& settingsViewModel, DetailViewModel& viewModel,
                                     UrlOpener* urlOpener, QWidget* parent)
    : QWidget(parent), m_application(std::move(application)), m_inputs(std::move(inputs)),
      m_onAdopt(std::move(onAdopt)), m_onRefreshApp(std::move(onRefreshApp)), m_appState(appState),
      m_settingsViewModel(settingsViewModel), m_viewModel(viewModel), m_urlOpener(urlOpener)
{
    setObjectName(QStringLiteral("brewAvailableView"));
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 8, 0, 0);
    m_layout->setSpacing(12);

    QFont titleFont = TextStyles::font(TextStyles::Style::body, QFont::Medium);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 20.0 / 13.0);
    m_title = themedLabel(QStringLiteral("Homebrew Available"), titleFont, &SystemColors::primary, this,
                          "brewAvailableTitle");
    m_layout->addWidget(m_title);
    m_explanation = themedLabel(QString(), TextStyles::font(TextStyles::Style::body),
                                &SystemColors::secondary, this, "brewAvailableExplanation");
    m_layout->addWidget(m_explanation);

    m_card = new Card(QColor(), std::nullopt, this);
    m_card->setObjectName(QStringLiteral("brewAvailableCard"));
    m_card->setContentsMargins(0, 0, 0, 12);
    m_layout->addWidget(m_card);
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    m_layout->addWidget(divider);
    PaletteFollower::follow(this, [this] { applyColors(); });

    connect(&m_appState, &AppState::hasAppManagementPermissionChanged, this, &BrewAvailableView::sync);
    QPointer<BrewAvailableView> self(this);
    m_observer = m_application->addObserver([self](Application::Field field) {
        if (field != Application::Field::cask && field != Application::Field::source)
            return;
        postToMain([self] {
            if (self)
                self->sync();
        });
    });
    sync();
}

BrewAvailableView::~BrewAvailableView() = default;

void BrewAvailableView::setInputs(Inputs inputs)
{
    m_inputs = std::move(inputs);
    sync();
}

void BrewAvailableView::applyColors()
{
    m_card->setBackgroundColor(Card::tint(SystemColors::secondary(), false));
}

void BrewAvailableView::sync()
{
    const Application::Snapshot app = m_application->snapshot();
    m_explanation->setText(explanation(app.source));
    if (app.cask != m_shownCask || (app.cask.has_value() != static_cast<bool>(m_caskSection)))
        rebuildCask();

    if (m_adopt) {
        const bool permitted = m_appState.hasAppManagementPermission();
        const bool showsAdopt = app.cask && showsAdoptButton(*app.cask, m_inputs);
        PanelActions::keepFocusIn(this, m_adopt, showsAdopt);
        m_adopt->setVisible(showsAdopt);
        m_adopt->setText(permitted ? QStringLiteral("Adopt") : QStringLiteral("Permission Required"));
        m_adopt->setToolTip(permitted ? QString()
                                      : QStringLiteral("Click to open Settings and enable Permissions"));
    }

    if (m_inputs.adoptionProgress && !m_progressView) {
        m_progressView =
            new AdoptionProgressView(*m_inputs.adoptionProgress, m_onRefreshApp, nullptr, m_card);
        m_card->addWidget(m_progressView);
        Q_EMIT panelShown(m_progressView);
    } else if (m_inputs.adoptionProgress) {
        m_progressView->setProgress(*m_inputs.adoptionProgress);
    } else if (m_progressView) {
        m_progressView->hide();
        m_progressView->deleteLater();
        m_progressView = nullptr;
    }
}

void BrewAvailableView::rebuildCask()
{
    const std::optional<Cask> cask = m_application->cask();
    m_shownCask = cask;
    if (m_caskSection) {
        m_caskSection->hide();
        m_caskSection->deleteLater();
    }
    m_caskSection = nullptr;
    m_adopt = nullptr;
    m_terminalFallback = nullptr; // a child of the section, gone with it
    if (!cask)
        return;

    m_caskSection = new QWidget(m_card);
    m_caskSection->setObjectName(QStringLiteral("caskSection"));
    auto* section = new QVBoxLayout(m_caskSection);
    section->setContentsMargins(0, 0, 0, 0);
    section->setSpacing(12);

    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    column->addWidget(themedLabel(QStringLiteral("Cask").toUpper(),
                                  TextStyles::font(TextStyles::Style::subheadline, QFont::DemiBold),
                                  &SystemColors::tertiary, m_caskSection, "caskLabel"));
    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(8);
    QLabel* name =
        themedCatalogueLine(cask->caskName, TextStyles::font(TextStyles::Style::title3, QFont::Medium),
                            &SystemColors::primary, m_caskSection, "caskName");
    name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    nameRow->addWidget(name);
    if (cask->requiresSudo) {
        auto* badge = new PasswordBadgeView(PasswordBadgeView::Style::caskBadge, m_caskSection);
        badge->setObjectName(QStringLiteral("caskPasswordBadge"));
        nameRow->addWidget(badge);
    }
    nameRow->addStretch();
    column->addLayout(nameRow);
    column->addWidget(themedCatalogueLine(cask->latestVersion, TextStyles::font(TextStyles::Style::body),
                                          &SystemColors::secondary, m_caskSection, "caskVersion"));
    header->addLayout(column, 1);
    m_adopt = new QPushButton(m_caskSection);
    m_adopt->setObjectName(QStringLiteral("adoptButton"));
    m_adopt->setDefault(true);
    m_adopt->setAutoDefault(false);
    connect(m_adopt, &QPushButton::clicked, this, &BrewAvailableView::adoptClicked);
    header->addWidget(m_adopt, 0, Qt::AlignVCenter);
    section->addLayout(header);

    auto* details = new QVBoxLayout;
    details->setSpacing(4);
    const QFont subheadline = TextStyles::font(TextStyles::Style::subheadline);
    const QFont subheadlineMedium = TextStyles::font(TextStyles::Style::subheadline, QFont::Medium);
    if (cask->deprecated) {
        details->addWidget(themedLabel(QStringLiteral("Deprecated"), subheadlineMedium, &fixedRed,
                                       m_caskSection, "caskDeprecatedTitle"));
        details->addWidget(themedLabel(
            QStringLiteral(
                "This cask is deprecated and may be removed in the future, it is not reccoended to use"),
            subheadline, &SystemColors::secondary, m_caskSection, "caskDeprecatedText"));
    }
    if (!cask->warnings.isEmpty()) {
        details->addWidget(themedLabel(QStringLiteral("Warnings"), subheadlineMedium, &fixedOrange,
                                       m_caskSection, "caskWarningsTitle"));
        for (const QString& warning : cask->warnings)
            details->addWidget(themedCatalogueText(warning, subheadline, &SystemColors::secondary,
                                                   m_caskSection, "caskWarning"));
    }
    if (cask->description)
        details->addWidget(themedCatalogueText(*cask->description, subheadline, &SystemColors::secondary,
                                               m_caskSection, "caskDescription"));
    if (cask->homepage) {
        const QUrl homepage = *cask->homepage;
        auto* link = new HomepageLink(homepage.toString(QUrl::FullyEncoded), m_caskSection);
        link->setObjectName(QStringLiteral("caskHomepage"));
        link->setFlat(true);
        link->setFont(subheadline);
        link->setStyleSheet(
            QStringLiteral("QPushButton { color: %1; text-align: left; border: none; padding: 0; }")
                .arg(SystemColors::blue().name()));
        link->setCursor(LinkPolicy::isOpenable(homepage) ? Qt::PointingHandCursor : Qt::ArrowCursor);
        UrlOpener* opener = m_urlOpener;
        connect(link, &QPushButton::clicked, this,
                [this, opener, homepage] { LinkPolicy::open(this, opener, homepage); });
        details->addWidget(link, 0, Qt::AlignLeft);
    }
    section->addLayout(details);

    if (cask->requiresSudo) {
        m_terminalFallback = new BrewManualActionView(m_application, DetailViewModel::ActionType::adoption,
                                                      m_onRefreshApp, m_viewModel, m_caskSection);
        m_terminalFallback->setContentsMargins(0, 8, 0, 0);
        section->addWidget(m_terminalFallback);
    }
    // The cask section comes first in the card, above any progress.
    m_card->contentLayout()->insertWidget(0, m_caskSection);
}

void BrewAvailableView::adoptClicked()
{
    if (m_appState.hasAppManagementPermission()) {
        if (m_onAdopt)
            m_onAdopt();
        return;
    }
    m_settingsViewModel.setSelectedCategory(SettingsViewModel::SettingsCategory::permissions);
    Q_EMIT openWindowRequested(QStringLiteral("settings"));
}

} // namespace norvelle
