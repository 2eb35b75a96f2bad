#pragma once

#include <QObject>

namespace norvelle {

class ApplicationStore;

// What the main window's content and the menu-bar extra share: the application store.
// It has no operations of its own.
class ContentViewModel : public QObject {
    Q_OBJECT
public:
    // `store` must outlive the model.
    explicit ContentViewModel(ApplicationStore& store, QObject* parent = nullptr)
        : QObject(parent), m_store(store)
    {
    }

    ApplicationStore& store() const { return m_store; }

private:
    ApplicationStore& m_store;
};

} // namespace norvelle
