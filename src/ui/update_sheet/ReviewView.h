#pragma once

#include "model/Application.h"

#include <QList>
#include <QWidget>
#include <memory>

namespace norvelle {

// The review phase's body: the batch under "Available", then, when there are any, the
// applications kept out of it because their update needs a password.
class ReviewView : public QWidget {
    Q_OBJECT

public:
    using ApplicationList = QList<std::shared_ptr<Application>>;

    ReviewView(const ApplicationList& applications, const ApplicationList& sudoRequiredApps,
               QWidget* parent = nullptr);

    // The count beside "Available": the applications that still have an update.
    void setAvailableCount(qsizetype count);

private:
    QWidget* m_availableHeader = nullptr;
};

} // namespace norvelle
