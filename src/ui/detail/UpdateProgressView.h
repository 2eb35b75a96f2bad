#pragma once

#include "model/UpdateProgress.h"

#include <QColor>
#include <QFuture>
#include <QWidget>
#include <functional>

class QLabel;
class QProgressBar;
class QTimer;

namespace norvelle {

class Banner;
class DetailViewModel;

// One application's update as a banner in the colour of its status: title, current step, a
// busy indicator while work is under way, and a bar with percentage and estimate while the
// fraction is strictly between 0 and 1. It never changes the record it shows.
class UpdateProgressView : public QWidget {
    Q_OBJECT

public:
    // `onRefreshApp` may be empty. The view model runs the Terminal command of a failed
    // Homebrew update and must outlive the view.
    UpdateProgressView(const UpdateProgress& progress, std::function<QFuture<void>()> onRefreshApp,
                       DetailViewModel& viewModel, QWidget* parent = nullptr);

    const UpdateProgress& progress() const { return m_progress; }
    void setProgress(const UpdateProgress& progress);

    static QString statusTitle(UpdateProgress::Status status);
    static QColor statusColor(UpdateProgress::Status status);
    static bool showsSpinner(UpdateProgress::Status status);
    // "45%" for 0.456: the fraction in percent, truncated.
    static QString percentageText(double fraction);
    // The command a failed update offers for Terminal; empty without a cask.
    static QString updateCommand(const UpdateProgress& progress);

private:
    void sync();
    void syncEstimate();

    UpdateProgress m_progress;
    std::function<QFuture<void>()> m_onRefreshApp; // for the command box of a failed update
    DetailViewModel& m_viewModel;
    Banner* m_banner = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_step = nullptr;
    QProgressBar* m_spinner = nullptr;
    QWidget* m_barBox = nullptr;
    QProgressBar* m_bar = nullptr;
    QLabel* m_percentage = nullptr;
    QLabel* m_estimate = nullptr;
    QTimer* m_estimateTimer = nullptr;
};

} // namespace norvelle
