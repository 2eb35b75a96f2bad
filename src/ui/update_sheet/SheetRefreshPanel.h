#pragma once

#include "model/Application.h"

#include <memory>

#include "ui/main/components/Banner.h"

class QLabel;

namespace norvelle {

// The refresh of one application as a banner: "Refreshing..." over "Checking for changes" on
// the secondary colour while it runs, then "Refreshed Successfully!" in green over what the
// refresh found. No controls.
class SheetRefreshPanel : public Banner {
    Q_OBJECT

public:
    explicit SheetRefreshPanel(std::shared_ptr<Application> application, QWidget* parent = nullptr);

    void setRefreshing(bool isRefreshing);

    // The line under the title.
    static QString subtitle(const Application& application, bool isRefreshing);

protected:
    void changeEvent(QEvent* event) override;

private:
    void sync();

    std::shared_ptr<Application> m_application;
    bool m_isRefreshing = true;
    bool m_syncing = false;
    QLabel* m_title = nullptr;
    QLabel* m_subtitle = nullptr;
};

} // namespace norvelle
