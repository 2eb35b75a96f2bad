#pragma once

#include "ui/main/components/Banner.h"

#include <QDateTime>
#include <optional>

class QHBoxLayout;
class QLabel;
class QProgressBar;
class QTimer;

namespace norvelle {

class ClampedLabel;

// The banner an update or an adoption shows its state in: a title in the status colour over the
// current step (two lines at most, the whole step in the tooltip when cut), a busy indicator, and
// a bar with percentage and estimate while the fraction is strictly between 0 and 1. The owner
// decides texts and colours; each use names its parts so its tests keep finding them.
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
    // The bar, in the banner's colour, with its percentage and, given a time, "Est. in 5 min";
    // all of it only while `fraction` is partway. The estimate keeps moving while it shows.
    void showProgress(double fraction, const std::optional<QDateTime>& completion);

    static bool isPartway(double fraction) { return fraction > 0 && fraction < 1; }
    // "45%" for 0.456: the fraction in percent, truncated.
    static QString percentageText(double fraction);

private:
    void showEstimate();

    std::optional<QDateTime> m_completion;
    QHBoxLayout* m_header = nullptr;
    QLabel* m_title = nullptr;
    ClampedLabel* m_step = nullptr;
    QProgressBar* m_spinner = nullptr;
    QWidget* m_barBox = nullptr;
    QProgressBar* m_bar = nullptr;
    QLabel* m_percentage = nullptr;
    QLabel* m_estimate = nullptr;
    QTimer* m_estimateTimer = nullptr;
};

} // namespace norvelle
