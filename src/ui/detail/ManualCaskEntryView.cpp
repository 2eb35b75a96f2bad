#include "ui/detail/ManualCaskEntryView.h"

#include "ui/main/components/Card.h"
#include "ui/main/components/ClampedLabel.h"
#include "ui/main/components/PaletteFollower.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace norvelle {

QString ManualCaskEntryView::explanation(const QList<Application::Source>& sources)
{
    // The first apostrophe is a plain one, the two others typographic; kept whole as shown.
    // clang-format off
    if (sources.contains(Application::Source::appStore))
        return QStringLiteral("Mac App Store apps you've paid for shouldn’t be adopted to Homebrew, as their licenses don’t transfer. If you know the cask for this app, enter it below to adopt it to Homebrew.");
    return QStringLiteral("If you know the cask for this app, enter it below to adopt it to Homebrew.");
    // clang-format on
}

QString ManualCaskEntryView::trimmed(const QString& text)
{
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && blank(text.at(start)))
        ++start;
    while (end > start && blank(text.at(end - 1)))
        --end;
    return text.mid(start, end - start);
}

ManualCaskEntryView::ManualCaskEntryView(std::shared_ptr<Application> application, bool isValidating,
                                         OnVerify onVerify, QWidget* parent)
    : QWidget(parent), m_application(std::move(application)), m_isValidating(isValidating),
      m_onVerify(std::move(onVerify))
{
    setObjectName(QStringLiteral("manualCaskEntryView"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 8, 0, 0);
    outer->setSpacing(12);
    QFont titleFont = TextStyles::font(TextStyles::Style::body, QFont::Medium);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 20.0 / 13.0);
    QLabel* title =
        makePlainLabel(QStringLiteral("Manual Cask"), titleFont, QColor(), this, "manualCaskTitle");
    outer->addWidget(title);
    m_explanation = makePlainLabel(QString(), TextStyles::font(TextStyles::Style::body), QColor(), this,
                                   "manualCaskExplanation");
    m_explanation->setWordWrap(true);
    outer->addWidget(m_explanation);

    m_card = new Card(QColor(), std::nullopt, this);
    auto* columns = new QHBoxLayout;
    columns->setSpacing(16);
    const QFont labelFont = TextStyles::font(TextStyles::Style::subheadline, QFont::DemiBold);
    auto* caskColumn = new QVBoxLayout;
    caskColumn->setSpacing(8);
    QLabel* caskLabel =
        makePlainLabel(QStringLiteral("Cask").toUpper(), labelFont, QColor(), m_card, "caskFieldLabel");
    caskColumn->addWidget(caskLabel);
    m_cask = new QLineEdit(m_card);
    m_cask->setObjectName(QStringLiteral("caskNameField"));
    m_cask->setPlaceholderText(QStringLiteral("cask-name"));
    caskColumn->addWidget(m_cask);
    columns->addLayout(caskColumn, 1);

    auto* tapColumn = new QVBoxLayout;
    tapColumn->setSpacing(8);
    auto* tapLabels = new QHBoxLayout;
    tapLabels->setSpacing(4);
    QLabel* tapLabel =
        makePlainLabel(QStringLiteral("Tap").toUpper(), labelFont, QColor(), m_card, "tapFieldLabel");
    QLabel* optional =
        makePlainLabel(QStringLiteral("(optional)").toUpper(), TextStyles::font(TextStyles::Style::caption),
                       QColor(), m_card, "tapOptionalLabel");
    tapLabels->addWidget(tapLabel);
    tapLabels->addWidget(optional);
    tapLabels->addStretch();
    tapColumn->addLayout(tapLabels);
    m_tap = new QLineEdit(m_card);
    m_tap->setObjectName(QStringLiteral("tapNameField"));
    m_tap->setPlaceholderText(QStringLiteral("username/repo (optional)"));
    tapColumn->addWidget(m_tap);
    columns->addLayout(tapColumn, 1);
    m_card->contentLayout()->addLayout(columns);

    auto* hintRow = new QHBoxLayout;
    hintRow->setSpacing(8);
    // A fixed text of our own, so its bold words may become markup.
    QString hintText = QStringLiteral("For taps you can also enter: **username/repo url**").toHtmlEscaped();
    hintText.replace(QRegularExpression(QStringLiteral("\\*\\*(.+?)\\*\\*")), QStringLiteral("<b>\\1</b>"));
    auto* hint = new QLabel(hintText, m_card);
    hint->setObjectName(QStringLiteral("manualCaskHint"));
    hint->setTextFormat(Qt::RichText);
    hint->setFont(TextStyles::font(TextStyles::Style::caption));
    hintRow->addWidget(hint);
    hintRow->addStretch();
    m_verify = new QPushButton(m_card);
    m_verify->setObjectName(QStringLiteral("verifyCaskButton"));
    m_verify->setDefault(true);
    m_verify->setAutoDefault(false);
    hintRow->addWidget(m_verify);
    m_card->contentLayout()->addLayout(hintRow);
    // Typed names and brew's answers are outside text: shown as they are, a path longer than the
    // panel is wide broken rather than widening it, and selectable so a path in the reason can be
    // copied.
    m_failure = new ClampedLabel(ClampedLabel::anyNumberOfLines, m_card);
    setUpPlainLabel(m_failure, TextStyles::font(TextStyles::Style::caption), QColor(), "manualCaskFailure");
    m_failure->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_failure->hide();
    m_card->contentLayout()->addWidget(m_failure);
    outer->addWidget(m_card);

    connect(m_cask, &QLineEdit::textChanged, this, &ManualCaskEntryView::sync);
    for (QLineEdit* field : {m_cask, m_tap})
        connect(field, &QLineEdit::textEdited, this, [this] { showFailure(QString()); });
    connect(m_verify, &QPushButton::clicked, this, &ManualCaskEntryView::verify);
    connect(m_cask, &QLineEdit::returnPressed, this, [this] {
        if (m_verify->isEnabled())
            verify();
    });
    PaletteFollower::follow(this, [this, title, caskLabel, tapLabel, optional, hint] {
        setTextColor(title, SystemColors::primary());
        setTextColor(m_explanation, SystemColors::secondary());
        setTextColor(caskLabel, SystemColors::primary());
        setTextColor(tapLabel, SystemColors::primary());
        setTextColor(optional, SystemColors::secondary());
        setTextColor(hint, SystemColors::secondary());
        setTextColor(m_failure, SystemColors::red());
        m_card->setBackgroundColor(Card::tint(SystemColors::secondary(), false));
    });
    syncSources();
    sync();
}

void ManualCaskEntryView::setIsValidating(bool isValidating)
{
    m_isValidating = isValidating;
    sync();
}

void ManualCaskEntryView::syncSources()
{
    m_explanation->setText(explanation(m_application->source()));
}

void ManualCaskEntryView::sync()
{
    m_cask->setEnabled(!m_isValidating);
    m_tap->setEnabled(!m_isValidating);
    m_verify->setText(m_isValidating ? QStringLiteral("Verifying...") : QStringLiteral("Verify"));
    m_verify->setEnabled(!m_isValidating && !trimmed(m_cask->text()).isEmpty());
}

void ManualCaskEntryView::verify()
{
    const QString cask = trimmed(m_cask->text());
    if (m_isValidating || cask.isEmpty())
        return;
    const QString tap = trimmed(m_tap->text());
    showFailure(QString());
    if (!m_onVerify)
        return;
    // The panel may go (a verified cask replaces it) before the answer comes; Qt 6.4 asserts when a
    // continuation's context dies first, so the application object is the context.
    QPointer<ManualCaskEntryView> self(this);
    m_onVerify(cask, tap.isEmpty() ? std::nullopt : std::optional(tap))
        .then(QCoreApplication::instance(), [self](const QString& failure) {
            if (self)
                self->showFailure(failure);
        });
}

QString ManualCaskEntryView::failureText() const
{
    return m_failure->isHidden() ? QString() : m_failure->fullText();
}

void ManualCaskEntryView::showFailure(const QString& text)
{
    m_failure->setFullText(text);
    m_failure->setVisible(!text.isEmpty());
}

} // namespace norvelle
