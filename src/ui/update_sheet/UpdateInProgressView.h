#pragma once

#include <QWidget>

namespace norvelle {

// "Progress" with the finished percentage, above a blue bar of the batch's finished fraction.
class UpdateInProgressView : public QWidget {
    Q_OBJECT

public:
    explicit UpdateInProgressView(double overallProgress, QWidget* parent = nullptr);
};

} // namespace norvelle
