#pragma once

#include "model/Application.h"

#include <QWidget>
#include <memory>

class QLabel;

namespace norvelle {

class ReleaseNotesMarkdownView;

// The release-notes section of the detail pane: a title, then the notes of the
// application's available update, or a placeholder when there are none. It follows
// the application and redraws whenever its update changes.
class ReleaseNotesView : public QWidget {
    Q_OBJECT

public:
    explicit ReleaseNotesView(std::shared_ptr<Application> application, QWidget* parent = nullptr);
    ~ReleaseNotesView() override;

    const std::shared_ptr<Application>& application() const { return m_application; }

private:
    void redraw();
    QWidget* makePlaceholder();

    std::shared_ptr<Application> m_application;
    QLabel* m_title = nullptr;
    ReleaseNotesMarkdownView* m_notes = nullptr;
    QWidget* m_placeholder = nullptr;
    ObserverToken m_observer; // last member: unregistered before the widgets go
};

} // namespace norvelle
