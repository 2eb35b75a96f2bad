#pragma once

#include <QColor>
#include <QWidget>

namespace norvelle {

// A plain widget filled with one colour inside a rounded rectangle, clipping nothing but its
// own fill. The base of the banner and the card.
class RoundedPanel : public QWidget {
    Q_OBJECT

public:
    explicit RoundedPanel(const QColor& fill = {}, qreal cornerRadius = 12, QWidget* parent = nullptr);

    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor& fill);
    qreal cornerRadius() const { return m_cornerRadius; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill;
    qreal m_cornerRadius;
};

} // namespace norvelle
