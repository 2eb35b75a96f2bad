#pragma once

#include "model/Application.h"
#include "ui/main/ViewEnvironment.h"

#include <QPointer>
#include <QUuid>
#include <QWidget>
#include <memory>

class QLabel;
class QPushButton;
class QScrollArea;
class QStackedLayout;
class QVBoxLayout;

namespace norvelle {

class ApplicationMetadataRowView;
class BrewAvailableView;
class BrewDoctorSheetView;
class ManualCaskEntryView;
class ReleaseNotesView;
class SelectedApplicationDetailsView;
class UrlOpener;

// The detail column: the selected application's header, metadata and release notes, each
// under its own condition, or "No Application Selected". The system-wide update and adoption
// progress reach the panels only when they belong to the application on screen. Every click
// goes to one DetailViewModel operation.
class DetailView : public QWidget {
    Q_OBJECT

public:
    // `urlOpener` opens the metadata links; null opens nothing.
    explicit DetailView(const ViewEnvironment& environment, UrlOpener* urlOpener = nullptr,
                        QWidget* parent = nullptr);
    ~DetailView() override;

    SelectedApplicationDetailsView* header() const { return m_header; }
    ApplicationMetadataRowView* metadataRow() const { return m_metadata; }
    ReleaseNotesView* releaseNotes() const { return m_releaseNotes; }
    BrewAvailableView* brewAvailable() const { return m_brewAvailable; }
    ManualCaskEntryView* manualCaskEntry() const { return m_manualCaskEntry; }
    BrewDoctorSheetView* brewDoctorSheet() const;
    bool showBrewDoctorSheet() const { return m_showBrewDoctorSheet; }
    void setShowBrewDoctorSheet(bool value);

Q_SIGNALS:
    // Asks for the window with this id ("settings") to be opened or brought forward.
    void openWindowRequested(const QString& id);
    void showBrewDoctorSheetChanged(bool value);

private:
    void scheduleSync();
    void sync();
    void buildContent(const std::shared_ptr<Application>& application);
    void syncPanels(const std::shared_ptr<Application>& application);
    // Where a panel goes: under the header and the metadata row, after the panels before it.
    int panelIndex(const QWidget* panel) const;
    // Scrolls the least that shows all of `target`, or its top when it is taller than the pane,
    // once the layouts have placed it (a few turns of the event loop at most).
    void reveal(QWidget* target, int turnsLeft = 8, QRect lastArea = {}, int lastRange = -1);
    // Reveals a panel that has just appeared, and again whenever it grows while the user still
    // has its top in view (a bar and an estimate come with later reports).
    void follow(QWidget* panel);
    bool eventFilter(QObject* watched, QEvent* event) override;

    ViewEnvironment m_env;
    UrlOpener* m_urlOpener;
    bool m_showBrewDoctorSheet = false;
    bool m_syncScheduled = false;
    bool m_headerUpdating = false;
    QPointer<QWidget> m_followed;

    QPushButton* m_brewDoctorButton = nullptr;
    QStackedLayout* m_stack = nullptr;
    QWidget* m_emptyState = nullptr;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_content = nullptr;
    QVBoxLayout* m_contentLayout = nullptr;
    std::shared_ptr<Application> m_shown;
    SelectedApplicationDetailsView* m_header = nullptr;
    ApplicationMetadataRowView* m_metadata = nullptr;
    ReleaseNotesView* m_releaseNotes = nullptr;
    BrewAvailableView* m_brewAvailable = nullptr;
    ManualCaskEntryView* m_manualCaskEntry = nullptr;
    QPointer<BrewDoctorSheetView> m_brewDoctorSheet;
};

} // namespace norvelle
