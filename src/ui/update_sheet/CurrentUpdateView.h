#pragma once

#include "model/Application.h"
#include "model/UpdateProgress.h"
#include "ui/update_sheet/UpdateBatchSession.h"

#include <QWidget>
#include <memory>
#include <optional>

class QHBoxLayout;

namespace norvelle {

class Card;
class DetailViewModel;
class ElidingLabel;

// "Currently Updating": the application being updated in a card, with its versions (the latest
// in red once it failed), its source badge, the current step (not while queued) and the shared
// progress panel while the update is neither completed nor failed. Each report changes only
// what it touches; the header is built again only for another application. The versions are
// those of the update under way as the batch keeps them (the application may have dropped its
// update record meanwhile); without them the card shows the application's own.
class CurrentUpdateView : public QWidget {
    Q_OBJECT

public:
    using Versions = UpdateBatchSession::Versions;

    // The view model must outlive the view.
    CurrentUpdateView(std::shared_ptr<Application> app, const UpdateProgress& progress,
                      const std::optional<Versions>& versions, DetailViewModel& detailViewModel,
                      QWidget* parent = nullptr);

    void setCurrent(const std::shared_ptr<Application>& app, const UpdateProgress& progress,
                    const std::optional<Versions>& versions);
    const std::shared_ptr<Application>& application() const { return m_app; }

private:
    void buildHeader();
    void applyProgress();

    DetailViewModel& m_detailViewModel;
    std::shared_ptr<Application> m_app;
    UpdateProgress m_progress;
    std::optional<Versions> m_versions;
    Card* m_card = nullptr;
    QWidget* m_header = nullptr;
    QWidget* m_latest = nullptr;
    ElidingLabel* m_step = nullptr;
    QWidget* m_panel = nullptr;
    Application::ObserverToken m_observer;
};

} // namespace norvelle
