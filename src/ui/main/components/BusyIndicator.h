#pragma once

#include <QWidget>

class QTimer;

namespace norvelle {

// A small indeterminate progress indicator: a ring of spokes whose brightest spoke goes round,
// in the palette's text colour (so it follows a theme switch). It turns only while shown.
class BusyIndicator : public QWidget {
    Q_OBJECT

public:
    static constexpr int spokes = 12;
    static constexpr int intervalMs = 80;

    explicit BusyIndicator(int size, QWidget* parent = nullptr);

    // The brightest spoke, 0 to spokes - 1; it moves on while the indicator shows.
    int phase() const { return m_phase; }
    bool isTurning() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer* m_timer = nullptr;
    int m_phase = 0;
};

} // namespace norvelle
