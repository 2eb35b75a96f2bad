#pragma once

#include <QWidget>

namespace norvelle {

// The Experimental page: an empty state while no experiment is offered.
class ExperimentalView : public QWidget {
    Q_OBJECT

public:
    explicit ExperimentalView(QWidget* parent = nullptr);
};

} // namespace norvelle
