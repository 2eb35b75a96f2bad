#pragma once

#include <QWidget>

namespace norvelle {

// The tour's closing page: "You're All Set!" with three tips on where to look next.
class ReadyPageView : public QWidget {
    Q_OBJECT

public:
    explicit ReadyPageView(QWidget* parent = nullptr);
};

} // namespace norvelle
