#pragma once

#include "ui/main/components/TextStyles.h"

#include <QColor>
#include <QMargins>
#include <QString>
#include <QWidget>

namespace norvelle {

// How one small text badge looks. Sizes are in points.
struct BadgeAppearance {
    QString text;
    TextStyles::Style textStyle = TextStyles::Style::caption2;
    QFont::Weight weight = QFont::Normal;
    QColor textColor;
    QMargins padding;       // around the text, inside the fill
    QColor fill;            // opacity included
    bool capsule = false;   // else a rounded rectangle of `cornerRadius`
    qreal cornerRadius = 0;
    QColor outline;         // invalid: no outline
    qreal outlineWidth = 0;
    QMargins outerMargins;  // outside the fill
    QString toolTip;        // empty: none
};

// A badge drawn from its appearance: text on a filled, optionally outlined shape. Used by the
// password and source badges; it draws what it is given and nothing else.
class BadgeChip : public QWidget {
    Q_OBJECT

public:
    explicit BadgeChip(BadgeAppearance appearance, QWidget* parent = nullptr);

    const BadgeAppearance& appearance() const { return m_appearance; }
    QString text() const { return m_appearance.text; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    BadgeAppearance m_appearance;
};

} // namespace norvelle
