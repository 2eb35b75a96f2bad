#pragma once

#include "ui/main/components/FittedTextLabel.h"

#include <limits>

namespace norvelle {

// A plain-text label of at most a few wrapped lines. A longer text shows its first lines, the
// last of them ending in an ellipsis, and the whole text in the tooltip; lines start at the top,
// so the cut falls between lines, never through the letters of one. A word wider than the label
// breaks where it must, so no text widens it.
class ClampedLabel : public FittedTextLabel {
    Q_OBJECT

public:
    // For outside text that is shown whole however long, and only must not widen its container.
    static constexpr int anyNumberOfLines = std::numeric_limits<int>::max();

    explicit ClampedLabel(int maxLines, QWidget* parent = nullptr);

    void setFullText(const QString& text);
    int maxLines() const { return m_maxLines; }
    // True while the text shown is shorter than the whole text.
    bool isCut() const { return m_cut; }

    // `text` as shown `width` pixels wide in `font`: its lines as wrapped there, up to `maxLines`,
    // the last one shortened with an ellipsis when more would follow. Unchanged without a width
    // to wrap at. `runs`, when given, receives the lines as runs of the text.
    static QString clamp(const QString& text, const QFont& font, int width, int maxLines, bool* cut = nullptr,
                         QList<Run>* runs = nullptr);

    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void relayout();
    int textWidth(int width) const;
    int heightFor(const QString& text, int width) const;

    int m_maxLines;
    bool m_cut = false;
};

} // namespace norvelle
