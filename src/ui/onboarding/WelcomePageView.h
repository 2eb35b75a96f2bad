#pragma once

#include <QWidget>

namespace norvelle {

// The tour's first page: the product's icon, "Welcome to Norvelle" and its tagline.
class WelcomePageView : public QWidget {
    Q_OBJECT

public:
    explicit WelcomePageView(QWidget* parent = nullptr);
};

} // namespace norvelle
