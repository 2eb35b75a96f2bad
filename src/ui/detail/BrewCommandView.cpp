#include "ui/detail/BrewCommandView.h"

#include "ui/SymbolIcons.h"
#include "ui/main/components/PaletteFollower.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/RoundedPanel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"
#include "ui/platform/SystemClipboard.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace norvelle {

BrewCommandView::BrewCommandView(const QString& command, const QString& instructionText,
                                 QList<ButtonConfig> buttons, Clipboard* clipboard, QWidget* parent)
    : QWidget(parent), m_command(command), m_clipboard(clipboard)
{
    setObjectName(QStringLiteral("brewCommandView"));
    if (!m_clipboard) {
        m_ownClipboard = std::make_unique<SystemClipboard>();
        m_clipboard = m_ownClipboard.get();
    }
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(12);

    // The field is dark in either theme, like a terminal.
    auto* field = new RoundedPanel(QColor(0, 0, 0, 204), 6, this);
    m_field = field;
    field->setObjectName(QStringLiteral("brewCommandField"));
    auto* fieldRow = new QHBoxLayout(field);
    fieldRow->setContentsMargins(0, 0, 0, 0);
    fieldRow->setSpacing(0);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(TextStyles::font(TextStyles::Style::body).pointSizeF());
    m_commandText = makePlainLabel(m_command, mono, Qt::white, field, "brewCommandText");
    m_commandText->setWordWrap(true);
    m_commandText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_commandText->setContentsMargins(12, 8, 0, 8);
    fieldRow->addWidget(m_commandText, 1);
    m_copyButton = new QToolButton(field);
    m_copyButton->setObjectName(QStringLiteral("copyCommandButton"));
    m_copyButton->setAutoRaise(true);
    m_copyButton->setIconSize(QSize(20, 20));
    m_copyButton->setCursor(Qt::PointingHandCursor);
    auto* copyHolder = new QHBoxLayout;
    copyHolder->setContentsMargins(0, 8, 12, 8);
    copyHolder->addWidget(m_copyButton);
    fieldRow->addLayout(copyHolder);
    connect(m_copyButton, &QToolButton::clicked, this, &BrewCommandView::copy);
    outer->addWidget(field);

    m_buttonRow = new QHBoxLayout;
    m_buttonRow->setSpacing(8);
    m_instruction = makePlainLabel(instructionText, TextStyles::font(TextStyles::Style::caption2), QColor(),
                                   this, "brewCommandInstruction");
    m_instruction->setWordWrap(true);
    m_buttonRow->addWidget(m_instruction, 1);
    outer->addLayout(m_buttonRow);

    setButtons(std::move(buttons));
    PaletteFollower::follow(this, [this] { applyColors(); });
}

BrewCommandView::~BrewCommandView() = default;

void BrewCommandView::setCommand(const QString& command)
{
    m_command = command;
    m_commandText->setText(command);
    m_copyButton->setEnabled(!command.isEmpty());
}

void BrewCommandView::setButtons(QList<ButtonConfig> buttons)
{
    // A button may be replaced from its own click: it goes once the click is over.
    for (QWidget* old : std::as_const(m_buttons)) {
        old->hide();
        m_buttonRow->removeWidget(old);
        old->deleteLater();
    }
    m_buttons.clear();
    for (ButtonConfig& config : buttons) {
        auto* button = new QPushButton(config.title, this);
        if (!config.objectName.isEmpty())
            button->setObjectName(config.objectName);
        button->setDefault(config.isProminent);
        button->setAutoDefault(false);
        button->setProperty("prominent", config.isProminent);
        button->setEnabled(config.enabled);
        connect(button, &QPushButton::clicked, this, [action = std::move(config.action)] {
            if (action)
                action();
        });
        m_buttonRow->addWidget(button);
        m_buttons.append(button);
    }
}

void BrewCommandView::copy()
{
    if (m_command.isEmpty())
        return;
    m_clipboard->copyText(m_command);
    setDidCopy(true);
    // Every copy starts its own reset; the earliest one ends the notice.
    QTimer::singleShot(copiedNoticeMs, this, [this] { setDidCopy(false); });
}

void BrewCommandView::setDidCopy(bool value)
{
    m_didCopy = value;
    applyColors();
}

void BrewCommandView::applyColors()
{
    m_copyButton->setEnabled(!m_command.isEmpty());
    m_copyButton->setIcon(m_didCopy
                              ? SymbolIcons::icon(QStringLiteral("checkmark"), SystemColors::green())
                              : SymbolIcons::icon(QStringLiteral("doc.on.doc"), SystemColors::secondary()));
    m_copyButton->setToolTip(m_didCopy ? QStringLiteral("Copied!") : QStringLiteral("Copy command"));
    setTextColor(m_instruction, SystemColors::secondary());
}

} // namespace norvelle
