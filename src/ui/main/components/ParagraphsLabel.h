#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QPointF>

namespace norvelle {

// A plain-text label whose lines are paragraphs, selectable with the mouse. A triple-click
// selects one paragraph as shown: Qt's own takes the line feed that ends it along, which then
// lands in whatever the selection is pasted into.
class ParagraphsLabel : public QLabel {
    Q_OBJECT

public:
    explicit ParagraphsLabel(QWidget* parent = nullptr);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // A press this soon after a double-click, and this near it, is the third click.
    QElapsedTimer m_sinceDoubleClick;
    QPointF m_doubleClickAt;
};

} // namespace norvelle
