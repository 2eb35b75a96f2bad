#include "ui/main/components/CommandField.h"

#include "ui/SymbolIcons.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/SystemColors.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace norvelle {

CommandField::CommandField(const QString& command, const Look& look, QWidget* parent)
    : RoundedPanel(QColor(0, 0, 0, 204), 6, parent)
{
    setObjectName(QString::fromLatin1(look.objectName));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(look.pointSize);
    m_command = makePlainLabel(command, mono, look.textColor, this, look.textObjectName, look.alignment);
    m_command->setTextInteractionFlags(look.selection);
    m_command->setContentsMargins(12, 8, 0, 8);
    m_command->setWordWrap(true);
    m_command->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    row->addWidget(m_command, 1);

    m_copy = new QToolButton(this);
    m_copy->setObjectName(QStringLiteral("copyCommandButton"));
    m_copy->setAutoRaise(true);
    if (look.copyButtonSize.isValid())
        m_copy->setFixedSize(look.copyButtonSize);
    m_copy->setIconSize(look.iconSize);
    m_copy->setCursor(Qt::PointingHandCursor);
    auto* buttonBox = new QHBoxLayout;
    buttonBox->setContentsMargins(0, 8, 12, 8);
    buttonBox->addWidget(m_copy);
    row->addLayout(buttonBox);
    connect(m_copy, &QToolButton::clicked, this, &CommandField::copyClicked);
}

void CommandField::setCommand(const QString& command)
{
    m_command->setText(command);
}

void CommandField::showCopied(bool copied, const QColor& restingColor)
{
    m_copy->setIcon(copied ? SymbolIcons::icon(QStringLiteral("checkmark"), SystemColors::green())
                           : SymbolIcons::icon(QStringLiteral("doc.on.doc"), restingColor));
    m_copy->setToolTip(copied ? QStringLiteral("Copied!") : QStringLiteral("Copy command"));
}

void CommandField::resizeEvent(QResizeEvent* event)
{
    RoundedPanel::resizeEvent(event);
    // Nested layouts in a scroll area do not ask a wrapping label for its height at the width
    // it finally gets; give it that height, so a wrapped command shows all its lines.
    const int needed = m_command->heightForWidth(m_command->width());
    if (needed > 0 && needed != m_command->minimumHeight()) {
        m_command->setMinimumHeight(needed);
        updateGeometry();
    }
}

} // namespace norvelle
