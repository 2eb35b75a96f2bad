#pragma once

#include <QList>
#include <QString>
#include <QUuid>
#include <QWidget>
#include <functional>

class QHBoxLayout;
class QLabel;

namespace norvelle {

class Clipboard;
class CommandField;
class CopyFlag;

// A Homebrew command line the user may run by hand: the command in a dark, selectable,
// monospaced field with a copy button, and under it a short instruction with the caller's
// buttons. The box itself only copies; every other action is the caller's. An empty command
// (no valid one could be built) cannot be copied.
class BrewCommandView : public QWidget {
    Q_OBJECT

public:
    struct ButtonConfig {
        QUuid id = QUuid::createUuid();
        QString title;
        bool isProminent = false;
        std::function<void()> action;
        QString objectName; // how tests find the button
        bool enabled = true;
    };

    static constexpr int copiedNoticeMs = 2000;

    // `clipboard` must outlive the box; null uses the desktop's clipboard.
    BrewCommandView(const QString& command, const QString& instructionText, QList<ButtonConfig> buttons,
                    Clipboard* clipboard = nullptr, QWidget* parent = nullptr);
    ~BrewCommandView() override;

    QString command() const { return m_command; }
    void setCommand(const QString& command);
    // Replaces the row of buttons (titles and states change on the caller's redraw).
    void setButtons(QList<ButtonConfig> buttons);
    bool didCopy() const;

    void copy();

private:
    void applyColors();

    QString m_command;
    Clipboard* m_clipboard;
    std::unique_ptr<Clipboard> m_ownClipboard;
    CopyFlag* m_copied;
    CommandField* m_field = nullptr;
    QLabel* m_instruction = nullptr;
    QHBoxLayout* m_buttonRow = nullptr;
    QList<QWidget*> m_buttons;
};

} // namespace norvelle
