#include "ui/detail/BrewCommandView.h"

#include "ui/main/components/CommandField.h"
#include "ui/main/components/CopyFlag.h"
#include "ui/main/components/PaletteFollower.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"
#include "ui/platform/SystemClipboard.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace norvelle {

BrewCommandView::BrewCommandView(const QString& command, const QString& instructionText,
                                 QList<ButtonConfig> buttons, Clipboard* clipboard, QWidget* parent)
    : QWidget(parent), m_command(command), m_clipboard(clipboard), m_copied(new CopyFlag(this))
{
    setObjectName(QStringLiteral("brewCommandView"));
    if (!m_clipboard) {
        m_ownClipboard = std::make_unique<SystemClipboard>();
        m_clipboard = m_ownClipboard.get();
    }
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(12);

    CommandField::Look look;
    look.objectName = "brewCommandField";
    look.textObjectName = "brewCommandText";
    look.pointSize = TextStyles::font(TextStyles::Style::body).pointSizeF();
    look.textColor = Qt::white;
    look.selection = Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard;
    look.iconSize = QSize(20, 20);
    m_field = new CommandField(m_command, look, this);
    connect(m_field, &CommandField::copyClicked, this, &BrewCommandView::copy);
    outer->addWidget(m_field);

    m_buttonRow = new QHBoxLayout;
    m_buttonRow->setSpacing(8);
    m_instruction = makePlainLabel(instructionText, TextStyles::font(TextStyles::Style::caption2), QColor(),
                                   this, "brewCommandInstruction");
    m_instruction->setWordWrap(true);
    m_buttonRow->addWidget(m_instruction, 1);
    outer->addLayout(m_buttonRow);

    m_copied->setResetDelay(std::chrono::milliseconds(copiedNoticeMs));
    connect(m_copied, &CopyFlag::valueChanged, this, &BrewCommandView::applyColors);

    setButtons(std::move(buttons));
    PaletteFollower::follow(this, [this] { applyColors(); });
}

BrewCommandView::~BrewCommandView() = default;

void BrewCommandView::setCommand(const QString& command)
{
    m_command = command;
    m_field->setCommand(command);
    m_field->copyButton()->setEnabled(!command.isEmpty());
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
    m_copied->confirmCopy();
}

bool BrewCommandView::didCopy() const
{
    return m_copied->value();
}

void BrewCommandView::applyColors()
{
    m_field->copyButton()->setEnabled(!m_command.isEmpty());
    m_field->showCopied(m_copied->value(), SystemColors::secondary());
    setTextColor(m_instruction, SystemColors::secondary());
}

} // namespace norvelle
