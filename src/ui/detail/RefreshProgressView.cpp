#include "ui/detail/RefreshProgressView.h"

#include "ui/main/components/PaletteFollower.h"
#include "ui/main/components/Banner.h"
#include "ui/main/components/ClampedLabel.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"

#include <QLabel>
#include <QVBoxLayout>

namespace norvelle {

RefreshProgressView::RefreshProgressView(std::shared_ptr<Application> application, bool isRefreshing,
                                         QWidget* parent)
    : QWidget(parent), m_application(std::move(application)), m_isRefreshing(isRefreshing)
{
    setObjectName(QStringLiteral("refreshProgressView"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_banner = new Banner(SystemColors::secondary(), nullptr, this);
    outer->addWidget(m_banner);
    m_title = makePlainLabel(QString(), TextStyles::font(TextStyles::Style::body, QFont::Medium), QColor(),
                             m_banner, "refreshTitle");
    m_subtitle = new ClampedLabel(2, m_banner);
    m_subtitle->setObjectName(QStringLiteral("refreshSubtitle"));
    m_subtitle->setFont(TextStyles::font(TextStyles::Style::subheadline));
    m_banner->contentLayout()->setSpacing(4);
    m_banner->contentLayout()->addWidget(m_title);
    m_banner->contentLayout()->addWidget(m_subtitle);
    PaletteFollower::follow(this, [this] { sync(); });
}

void RefreshProgressView::setState(bool isRefreshing, const QString& failure)
{
    m_isRefreshing = isRefreshing;
    m_failure = failure;
    sync();
}

QString RefreshProgressView::title(bool isRefreshing, const QString& failure)
{
    if (isRefreshing)
        return QStringLiteral("Refreshing...");
    return failure.isEmpty() ? QStringLiteral("Refreshed Successfully!") : QStringLiteral("Check Failed");
}

QString RefreshProgressView::subtitle(const Application::Snapshot& application, bool isRefreshing,
                                      const QString& failure)
{
    if (isRefreshing)
        return QStringLiteral("Checking for changes");
    // In the words of the pane's line, which stays once this banner has gone; a refresh that
    // failed otherwise (the catalogue unread, the bundle gone) left no such line, so its own words.
    if (!failure.isEmpty())
        return application.checkFailure ? QStringLiteral("The last check failed: ") + failure : failure;
    if (application.cask && application.cask->adopted && !application.update)
        return application.name + QStringLiteral(" is now managed by Homebrew");
    return QStringLiteral("Grabbed the latest information for ") + application.name;
}

void RefreshProgressView::sync()
{
    const QColor color = m_isRefreshing        ? SystemColors::secondary()
                         : m_failure.isEmpty() ? SystemColors::green()
                                               : SystemColors::orange();
    m_banner->setColor(color);
    m_title->setText(title(m_isRefreshing, m_failure));
    setTextColor(m_title, color);
    m_subtitle->setFullText(subtitle(m_application->snapshot(), m_isRefreshing, m_failure));
    setTextColor(m_subtitle, SystemColors::secondary());
}

} // namespace norvelle
