#pragma once

#include "ui/main/components/Banner.h"

#include <QDateTime>
#include <optional>

class QHBoxLayout;
class QLabel;
class QProgressBar;

namespace norvelle {

// The banner an update or an adoption shows its state in: a title in the status colour over the
// current step (two lines at most), a busy indicator, and a bar with percentage and estimate
// while the fraction is strictly between 0 and 1. The owner decides texts and colours; each use
// names its parts so its tests keep finding them.
class ProgressBanner : public Banner {
    Q_OBJECT

public:
    struct Names {
        const char* banner;
        const char* title;
        const char* step;
        const char* spinner;
        const char* progressBox;
        const char* progressBar;
        const char* percentage;
        const char* estimate;
    };

    ProgressBanner(const Names& names, const QColor& color, int spinnerWidth, QWidget* parent);

    // The row of title and indicator; an owner may add buttons at its end.
    QHBoxLayout* headerLayout() const { return m_header; }

    void showStatus(const QColor& color, const QString& title, const QString& step, bool busy);
    // The bar shows only while `fraction` is partway; it takes the banner's colour.
    void showFraction(double fraction, const QString& percentage);
    // "Est. in 5 min" measured from now; hidden without a time.
    void showEstimate(const std::optional<QDateTime>& completion);

    static bool isPartway(double fraction) { return fraction > 0 && fraction < 1; }

private:
    QHBoxLayout* m_header = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_step = nullptr;
    QProgressBar* m_spinner = nullptr;
    QWidget* m_barBox = nullptr;
    QProgressBar* m_bar = nullptr;
    QLabel* m_percentage = nullptr;
    QLabel* m_estimate = nullptr;
};

} // namespace norvelle
