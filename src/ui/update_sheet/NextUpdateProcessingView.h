#pragma once

#include "model/Application.h"

#include <QList>
#include <QWidget>
#include <memory>

class QVBoxLayout;

namespace norvelle {

class UpdateSheetAppRow;

// "Up Next" with its count and one row per application still waiting in the queue.
class NextUpdateProcessingView : public QWidget {
    Q_OBJECT

public:
    explicit NextUpdateProcessingView(const QList<std::shared_ptr<Application>>& upcomingApps,
                                      QWidget* parent = nullptr);

    // As the queue advances only its head goes; anything else builds the rows again.
    void setUpcoming(const QList<std::shared_ptr<Application>>& upcomingApps);

private:
    void append(const QList<std::shared_ptr<Application>>& apps);

    QWidget* m_header = nullptr;
    QVBoxLayout* m_rows = nullptr;
    QList<UpdateSheetAppRow*> m_rowWidgets;
};

} // namespace norvelle
