#pragma once

#include <QWidget>

namespace norvelle {

// The tour page that explains adopting installed applications into Homebrew in three steps.
class AdoptionPageView : public QWidget {
    Q_OBJECT

public:
    explicit AdoptionPageView(QWidget* parent = nullptr);
};

} // namespace norvelle
