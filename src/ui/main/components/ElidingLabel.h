#pragma once

#include "ui/main/components/FittedTextLabel.h"

namespace norvelle {

// One line of outside text that never widens its container: shown verbatim, cut with "…" to
// the width it is given, with the whole text in its tooltip whenever it is cut.
class ElidingLabel : public FittedTextLabel {
    Q_OBJECT

public:
    explicit ElidingLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void elide();
};

} // namespace norvelle
