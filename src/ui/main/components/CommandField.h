#pragma once

#include "ui/main/components/RoundedPanel.h"

#include <QFont>
#include <QSize>

class QLabel;
class QToolButton;

namespace norvelle {

// A shell command line the user may copy: the line in a dark rounded box (dark in either theme,
// like a terminal), monospaced, selectable and wrapping at its spaces, with a copy button at its
// end. The field only shows; the owner copies on `copyClicked` and says when to confirm.
class CommandField : public RoundedPanel {
    Q_OBJECT

public:
    struct Look {
        const char* objectName = nullptr;
        const char* textObjectName = nullptr;
        // The size of the monospaced text.
        qreal pointSize = 0;
        // Invalid: the text keeps the colour it inherits.
        QColor textColor;
        Qt::TextInteractionFlags selection;
        // Empty: the label's own.
        Qt::Alignment alignment;
        // Invalid: the button's natural size around its icon.
        QSize copyButtonSize;
        QSize iconSize;
    };

    CommandField(const QString& command, const Look& look, QWidget* parent = nullptr);

    QLabel* commandLabel() const { return m_command; }
    QToolButton* copyButton() const { return m_copy; }
    void setCommand(const QString& command);
    // A green checkmark and "Copied!" while `copied`; else the copy symbol in `restingColor`.
    void showCopied(bool copied, const QColor& restingColor);

Q_SIGNALS:
    void copyClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* m_command = nullptr;
    QToolButton* m_copy = nullptr;
};

} // namespace norvelle
