#pragma once

#include "ui/main/components/FittedTextLabel.h"

#include <utility>

namespace norvelle {

// One line of outside text that never widens its container: shown verbatim, cut with "…" to
// the width it is given, with the whole text in its tooltip whenever it is cut.
class ElidingLabel : public FittedTextLabel {
    Q_OBJECT

public:
    explicit ElidingLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);

    // Widths for two texts on one line of `room` pixels that need `first` and `second`: both
    // whole when they fit; else the narrower whole while it needs at most half the room, and the
    // other the rest; else half each. A short version stays readable beside a long one.
    static std::pair<int, int> shareWidth(int first, int second, int room);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void elide();
};

} // namespace norvelle
