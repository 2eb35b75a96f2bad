#include "ui/update_sheet/CurrentUpdateView.h"

#include "ui/main/components/Card.h"
#include "ui/main/components/ElidingLabel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/update_sheet/UpdateSheetParts.h"
#include "util/Async.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

namespace norvelle {

CurrentUpdateView::CurrentUpdateView(std::shared_ptr<Application> app, const UpdateProgress& progress,
                                     const std::optional<Versions>& versions,
                                     DetailViewModel& detailViewModel, QWidget* parent)
    : QWidget(parent), m_detailViewModel(detailViewModel)
{
    setObjectName(QStringLiteral("currentUpdate"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->addWidget(UpdateSheetParts::sectionTitle(QStringLiteral("Currently Updating"), this));
    m_card = UpdateSheetParts::card(this);
    m_card->contentLayout()->setSpacing(16);
    column->addWidget(m_card);
    setCurrent(app, progress, versions);
}

void CurrentUpdateView::setCurrent(const std::shared_ptr<Application>& app, const UpdateProgress& progress,
                                   const std::optional<Versions>& versions)
{
    const bool newApp = app != m_app;
    const bool statusChanged = newApp || progress.status != m_progress.status;
    const bool versionsChanged =
        versions.has_value() != m_versions.has_value() ||
        (versions && (versions->from != m_versions->from || versions->to != m_versions->to));
    m_progress = progress;
    m_versions = versions;
    if (newApp) {
        m_app = app;
        // Rediscovery after the update rewrites the versions; the header follows.
        QPointer<CurrentUpdateView> guard(this);
        m_observer = m_app->addObserver([guard](Application::Field field) {
            if (field != Application::Field::update && field != Application::Field::source &&
                field != Application::Field::currentVersion)
                return;
            postToMain([guard] {
                if (!guard)
                    return;
                guard->buildHeader();
                guard->applyProgress();
            });
        });
        buildHeader();
    } else if (statusChanged || versionsChanged) {
        buildHeader();
    }
    applyProgress();
}

void CurrentUpdateView::buildHeader()
{
    using S = UpdateProgress::Status;
    delete m_header;
    const Application& app = *m_app;
    m_header = new QWidget(m_card);
    auto* row = new QHBoxLayout(m_header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);
    row->addWidget(UpdateSheetParts::icon(app, 64, 12, m_header));
    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    auto* name = UpdateSheetParts::elidedLabel(app.name(),
                                               UpdateSheetParts::font(TextStyles::Style::title3, QFont::Medium),
                                               UpdateSheetParts::Tone::primary, m_header);
    name->setObjectName(QStringLiteral("appName"));
    text->addWidget(name);
    const QColor latest = m_progress.status == S::failed ? SystemColors::red() : SystemColors::green();
    text->addWidget(m_versions
                        ? UpdateSheetParts::versionLine(m_versions->from, m_versions->to, latest, 4, m_header)
                        : UpdateSheetParts::versionLine(app, latest, 4, m_header));
    auto* details = new QHBoxLayout;
    details->setSpacing(8);
    if (QWidget* badge = UpdateSheetParts::sourceBadge(app, m_header))
        // Left-aligned so a queued card, whose step line is hidden, keeps it under the versions.
        details->addWidget(badge, 0, Qt::AlignLeft | Qt::AlignVCenter);
    m_step = UpdateSheetParts::elidedLabel(QString(), UpdateSheetParts::font(TextStyles::Style::caption),
                                           UpdateSheetParts::Tone::secondary, m_header);
    m_step->setObjectName(QStringLiteral("currentStep"));
    details->addWidget(m_step, 1);
    text->addLayout(details);
    row->addLayout(text, 1);
    m_card->contentLayout()->insertWidget(0, m_header);
}

void CurrentUpdateView::applyProgress()
{
    using S = UpdateProgress::Status;
    m_step->setFullText(m_progress.currentStep);
    m_step->setVisible(m_progress.status != S::queued);
    const bool panel = m_progress.status != S::failed && m_progress.status != S::completed;
    if (panel && !m_panel) {
        m_panel = UpdateSheetParts::progressPanel(m_progress, {}, m_detailViewModel, m_card);
        m_card->addWidget(m_panel);
    } else if (panel) {
        UpdateSheetParts::setPanelProgress(m_panel, m_progress);
    } else if (m_panel) {
        delete m_panel;
        m_panel = nullptr;
    }
}

} // namespace norvelle
