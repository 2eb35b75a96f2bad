#include "ui/onboarding/CodeCommandView.h"

#include "ui/SymbolIcons.h"
#include "ui/main/components/SystemColors.h"
#include "ui/onboarding/CopyFlag.h"
#include "ui/onboarding/OnboardingStyle.h"
#include "ui/platform/Clipboard.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTextBoundaryFinder>
#include <QToolButton>

namespace norvelle {

CodeCommandView::CodeCommandView(const QString& command, CopyFlag& copied, Clipboard* clipboard, QWidget* parent)
    : QWidget(parent), m_commandText(command), m_copied(copied), m_clipboard(clipboard)
{
    setObjectName(QStringLiteral("codeCommandView"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFont sized = OnboardingStyle::font(usesCaptionFont(command) ? TextStyles::Style::caption
                                                                        : TextStyles::Style::body);
    font.setPointSizeF(sized.pointSizeF());
    m_command = OnboardingStyle::label(command, font, OnboardingStyle::Tone::primary, this, "commandText");
    m_command->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_command->setContentsMargins(12, 8, 0, 8);
    // A long line wraps at its spaces instead of being cut off in a narrow window.
    m_command->setWordWrap(true);
    m_command->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    row->addWidget(m_command, 1);

    m_copy = new QToolButton(this);
    m_copy->setObjectName(QStringLiteral("copyCommandButton"));
    m_copy->setAutoRaise(true);
    m_copy->setFixedSize(20, 20);
    m_copy->setIconSize(QSize(16, 16));
    m_copy->setCursor(Qt::PointingHandCursor);
    auto* buttonBox = new QHBoxLayout;
    buttonBox->setContentsMargins(0, 8, 12, 8);
    buttonBox->addWidget(m_copy);
    row->addLayout(buttonBox);

    connect(m_copy, &QToolButton::clicked, this, [this] {
        if (m_clipboard)
            m_clipboard->copyText(m_commandText);
        m_copied.confirmCopy();
    });
    connect(&m_copied, &CopyFlag::valueChanged, this, &CodeCommandView::showCopied);
    // The resting symbol is drawn in the secondary colour of whatever palette applies.
    OnboardingStyle::followPalette(m_copy, [this](QWidget*, const QPalette&) { showCopied(m_copied.value()); });
}

bool CodeCommandView::usesCaptionFont(const QString& command)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, command);
    int characters = 0;
    while (finder.toNextBoundary() != -1)
        ++characters;
    return characters > captionFontThreshold;
}

void CodeCommandView::showCopied(bool copied)
{
    const QColor color = copied ? SystemColors::green()
                                : OnboardingStyle::toneColor(palette(), OnboardingStyle::Tone::secondary);
    m_copy->setIcon(SymbolIcons::icon(copied ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc"), color));
    m_copy->setToolTip(copied ? QStringLiteral("Copied!") : QStringLiteral("Copy command"));
}

void CodeCommandView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Nested layouts in a scroll area do not ask a wrapping label for its height at the width
    // it finally gets; give it that height, so a wrapped command shows all its lines.
    const int needed = m_command->heightForWidth(m_command->width());
    if (needed > 0 && needed != m_command->minimumHeight()) {
        m_command->setMinimumHeight(needed);
        updateGeometry();
    }
}

void CodeCommandView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 6, 6);
    painter.fillPath(path, QColor::fromRgbF(0, 0, 0, 0.8f));
}

} // namespace norvelle
