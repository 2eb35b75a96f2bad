#pragma once

#include <QLabel>
#include <functional>

namespace norvelle {

// A number in a capsule: sub-headline, medium weight, monospaced digits, 6 points of space left
// and right and 2 above and below, on the tint at a low opacity, the text in the tint. The tint
// is asked for at every paint, so it follows a theme switch.
class CountCapsule : public QLabel {
    Q_OBJECT

public:
    CountCapsule(std::function<QColor()> tint, qreal fillOpacity, QWidget* parent = nullptr);

    void setCount(int count);
    QColor tint() const { return m_tint(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<QColor()> m_tint;
    qreal m_fillOpacity;
};

} // namespace norvelle
