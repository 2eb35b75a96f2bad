#include "ui/onboarding/CodeCommandView.h"

#include "ui/main/components/CopyFlag.h"
#include "ui/onboarding/OnboardingStyle.h"
#include "ui/platform/Clipboard.h"

#include <QTextBoundaryFinder>
#include <QToolButton>

namespace norvelle {

namespace {

CommandField::Look look(const QString& command)
{
    CommandField::Look look;
    look.objectName = "codeCommandView";
    look.textObjectName = "commandText";
    const bool caption = CodeCommandView::usesCaptionFont(command);
    look.pointSize =
        OnboardingStyle::font(caption ? TextStyles::Style::caption : TextStyles::Style::body).pointSizeF();
    look.selection = Qt::TextSelectableByMouse;
    look.alignment = Qt::AlignLeft;
    // The box is near-black in both themes; the theme's primary text colour would be black on
    // black in Light.
    look.textColor = Qt::white;
    look.copyButtonSize = QSize(20, 20);
    look.iconSize = QSize(16, 16);
    return look;
}

} // namespace

CodeCommandView::CodeCommandView(const QString& command, CopyFlag& copied, Clipboard* clipboard,
                                 QWidget* parent)
    : CommandField(command, look(command), parent), m_commandText(command), m_copied(copied),
      m_clipboard(clipboard)
{
    connect(this, &CommandField::copyClicked, this, [this] {
        if (m_clipboard)
            m_clipboard->copyText(m_commandText);
        m_copied.confirmCopy();
    });
    connect(&m_copied, &CopyFlag::valueChanged, this, &CodeCommandView::showCopied);
    // The resting symbol is drawn in the secondary colour of whatever palette applies.
    OnboardingStyle::followPalette(copyButton(),
                                   [this](QWidget*, const QPalette&) { showCopied(m_copied.value()); });
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
    CommandField::showCopied(copied, OnboardingStyle::toneColor(palette(), OnboardingStyle::Tone::secondary));
}

} // namespace norvelle
