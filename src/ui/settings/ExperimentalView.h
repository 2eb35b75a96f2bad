#pragma once

#include <QWidget>

class QLabel;

namespace norvelle {

// The Experimental page: an empty state while no experiment is offered.
class ExperimentalView : public QWidget {
    Q_OBJECT

public:
    static constexpr int imageSize = 48;

    explicit ExperimentalView(QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateImage();

    QLabel* m_image = nullptr;
};

} // namespace norvelle
