#pragma once

#include "model/Application.h"
#include "ui/main/components/Card.h"

#include <memory>

class QHBoxLayout;

namespace norvelle {

// One application as a card row of the batch-update sheet: icon, name, a version line and
// trailing badges. The kind decides the version line and what trails:
//  review, upNext      installed → latest (green), source badge
//  passwordRequired    installed → latest (primary), source badge and the password badge
//  updated             the installed version in green, a green check mark
// The row draws itself again when the application's update or sources change.
class UpdateSheetAppRow : public Card {
    Q_OBJECT

public:
    enum class Kind { review, passwordRequired, upNext, updated };

    UpdateSheetAppRow(Kind kind, std::shared_ptr<Application> application, QWidget* parent = nullptr);

    Kind kind() const { return m_kind; }
    const std::shared_ptr<Application>& application() const { return m_application; }

private:
    void fill();

    Kind m_kind;
    std::shared_ptr<Application> m_application;
    QWidget* m_body = nullptr;
    Application::ObserverToken m_observer;
};

} // namespace norvelle
