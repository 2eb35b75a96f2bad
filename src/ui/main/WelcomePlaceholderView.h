#pragma once

#include <QWidget>

namespace norvelle {

class AppState;

// Stands in for the welcome tour until it exists: a title and "Get Started", which completes
// the tour.
class WelcomePlaceholderView : public QWidget {
    Q_OBJECT
public:
    explicit WelcomePlaceholderView(AppState& appState, QWidget* parent = nullptr);
};

} // namespace norvelle
