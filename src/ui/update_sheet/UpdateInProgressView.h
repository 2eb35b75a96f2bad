#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

namespace norvelle {

// "Progress" with the finished share of the batch as a truncated percentage and a blue bar.
class UpdateInProgressView : public QWidget {
    Q_OBJECT

public:
    explicit UpdateInProgressView(double overallProgress, QWidget* parent = nullptr);

    void setOverallProgress(double overallProgress);

private:
    QLabel* m_percent = nullptr;
    QProgressBar* m_bar = nullptr;
};

} // namespace norvelle
