#pragma once

#include <QWidget>

class QLabel;

namespace norvelle {

class ElidingLabel;

// The installed version and, while the new one shows, an arrow and the new version, on one line
// that never widens its container. When they do not both fit, a short version stays whole and a
// long one is cut with "…", whole in its tooltip (ElidingLabel::shareWidth).
class VersionLine : public QWidget {
    Q_OBJECT

public:
    // Takes the three labels as its children.
    VersionLine(ElidingLabel* current, QLabel* arrow, ElidingLabel* latest, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;

private:
    QSize measure(QSize (QWidget::*hint)() const) const;
    void place();

    ElidingLabel* m_current;
    QLabel* m_arrow;
    ElidingLabel* m_latest;
};

} // namespace norvelle
