#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QToolButton;

namespace norvelle {

class Clipboard;
class CopyFlag;

// One shell command line in a dark rounded box, selectable, with a copy button that puts the
// whole line on the clipboard and shows a green checkmark while the caller's flag is raised.
class CodeCommandView : public QWidget {
    Q_OBJECT

public:
    // Commands longer than this many characters are shown in the caption size.
    static constexpr int captionFontThreshold = 50;

    // `copied` and `clipboard` must outlive the view; a null clipboard copies nothing but the
    // confirmation still shows.
    CodeCommandView(const QString& command, CopyFlag& copied, Clipboard* clipboard, QWidget* parent = nullptr);

    // Whether the command is shown in the caption size (counted in user-perceived characters).
    static bool usesCaptionFont(const QString& command);

    QLabel* commandLabel() const { return m_command; }
    QToolButton* copyButton() const { return m_copy; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showCopied(bool copied);

    QString m_commandText;
    CopyFlag& m_copied;
    Clipboard* m_clipboard;
    QLabel* m_command = nullptr;
    QToolButton* m_copy = nullptr;
};

} // namespace norvelle
