#include "ui/update_sheet/SheetRefreshPanel.h"

#include "ui/main/components/SystemColors.h"
#include "ui/update_sheet/UpdateSheetParts.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace norvelle {

SheetRefreshPanel::SheetRefreshPanel(std::shared_ptr<Application> application, QWidget* parent)
    : Banner(SystemColors::secondary(), nullptr, parent), m_application(std::move(application))
{
    setObjectName(QStringLiteral("refreshState"));
    contentLayout()->setSpacing(12);
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    m_title = UpdateSheetParts::label(QString(), UpdateSheetParts::font(TextStyles::Style::body, QFont::Medium),
                                      SystemColors::green(), this);
    m_title->setObjectName(QStringLiteral("refreshTitle"));
    m_subtitle = UpdateSheetParts::label(QString(), UpdateSheetParts::font(TextStyles::Style::subheadline),
                                         UpdateSheetParts::Tone::secondary, this);
    m_subtitle->setObjectName(QStringLiteral("refreshSubtitle"));
    m_subtitle->setWordWrap(true);
    texts->addWidget(m_title);
    texts->addWidget(m_subtitle);
    row->addLayout(texts, 1);
    contentLayout()->addLayout(row);
    sync();
}

QString SheetRefreshPanel::subtitle(const Application& application, bool isRefreshing)
{
    if (isRefreshing)
        return QStringLiteral("Checking for changes");
    const auto cask = application.cask();
    if (cask && cask->adopted && !application.update())
        return application.name() + QStringLiteral(" is now managed by Homebrew");
    return QStringLiteral("Grabbed the latest information for ") + application.name();
}

void SheetRefreshPanel::setRefreshing(bool isRefreshing)
{
    m_isRefreshing = isRefreshing;
    sync();
}

void SheetRefreshPanel::changeEvent(QEvent* event)
{
    Banner::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !m_syncing)
        sync();
}

void SheetRefreshPanel::sync()
{
    m_syncing = true;
    const QColor color = m_isRefreshing ? SystemColors::secondary() : SystemColors::green();
    setColor(color);
    m_title->setText(m_isRefreshing ? QStringLiteral("Refreshing...") : QStringLiteral("Refreshed Successfully!"));
    QPalette palette = m_title->palette();
    palette.setColor(QPalette::WindowText, color);
    m_title->setPalette(palette);
    m_subtitle->setText(subtitle(*m_application, m_isRefreshing));
    // At most two lines.
    m_subtitle->setMaximumHeight(m_subtitle->fontMetrics().lineSpacing() * 2 + 2);
    m_syncing = false;
}

} // namespace norvelle
