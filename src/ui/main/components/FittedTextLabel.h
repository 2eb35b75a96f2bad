#pragma once

#include <QClipboard>
#include <QLabel>
#include <QList>

namespace norvelle {

class Clipboard;

// A plain-text label that shows its whole text fitted to its room: cut with "…", or broken into
// lines of its own. What it shows is not what it was given, so a selection copies the whole
// text's own characters instead: no line break the label made, and through an ellipsis the rest
// of the text.
class FittedTextLabel : public QLabel {
    Q_OBJECT

public:
    // A run of the shown text that is the whole text's own: where it starts in each, and how
    // long it is. What follows it on its line (an ellipsis) stands for the rest of the text.
    struct Run {
        qsizetype shown = 0;
        qsizetype whole = 0;
        qsizetype length = 0;
    };

    explicit FittedTextLabel(QWidget* parent = nullptr);

    const QString& fullText() const { return m_fullText; }
    // The whole text behind the selection; empty without one.
    QString selectedFullText() const;
    // Where copies and the selection go; null, the desktop's. `clipboard` must outlive the label.
    void setClipboard(Clipboard* clipboard) { m_clipboard = clipboard; }

protected:
    // Stores the whole text; false when it is the one already stored.
    bool storeFullText(const QString& text);
    // Shows `shown`, made of these runs of the whole text, one per line, in order.
    void showFitted(const QString& shown, QList<Run> runs);

    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    qsizetype wholePosition(qsizetype shown) const;
    void copySelection(QClipboard::Mode mode) const;

    QString m_fullText;
    QList<Run> m_runs;
    Clipboard* m_clipboard = nullptr;
};

} // namespace norvelle
