#include "ui/detail/ApplicationMetadataRowView.h"

#include "platform/UrlOpener.h"
#include "ui/detail/ApplicationMetadataItemView.h"
#include "ui/detail/LinkPolicy.h"
#include "ui/detail/MetadataFormat.h"
#include "ui/main/components/ClampedLabel.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"
#include "util/Async.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPointer>
#include <QVBoxLayout>
#include <algorithm>

namespace norvelle {

namespace {

QFrame* divider(QFrame::Shape shape, const char* name, QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setFrameShape(shape);
    line->setFrameShadow(QFrame::Plain);
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, SystemColors::tertiary());
    palette.setColor(QPalette::Text, SystemColors::tertiary());
    line->setPalette(palette);
    return line;
}

using Source = Application::Source;

std::optional<Source> primarySource(const QList<Source>& sources)
{
    for (Source preferred : {Source::appStore, Source::homebrew, Source::sparkle, Source::other}) {
        if (sources.contains(preferred))
            return preferred;
    }
    return std::nullopt;
}

bool adoptedCask(const Application::Snapshot& application)
{
    return application.cask && application.cask->adopted;
}

ApplicationMetadataRowView::Cell sourceCell(const Application::Snapshot& application,
                                            std::optional<Source> primary)
{
    using Cell = ApplicationMetadataRowView::Cell;
    const std::optional<Source> shown =
        application.update ? std::optional(toApplicationSource(application.update->source)) : primary;
    Cell cell{QStringLiteral("Source"), QStringLiteral("Unknown"), QString(), std::nullopt};
    if (shown == Source::homebrew) {
        cell.value = QStringLiteral("Homebrew");
        cell.subtitle = application.cask ? application.cask->caskName : QStringLiteral("Unknown");
        if (application.cask)
            cell.link = QUrl(ApplicationMetadataRowView::caskAddress(application.cask->caskName));
    } else if (shown == Source::sparkle) {
        cell.value = QStringLiteral("Sparkle");
        cell.subtitle = QStringLiteral("Framework");
    } else if (shown == Source::appStore) {
        cell.value = QStringLiteral("App Store");
        std::optional<QString> appID;
        if (application.mas)
            appID = application.mas->appID;
        else if (application.update && application.update->mas)
            appID = application.update->mas->appID;
        cell.subtitle = appID ? QStringLiteral("ID: ") + *appID : QString();
        if (appID)
            cell.link = QUrl(ApplicationMetadataRowView::appStoreAddress(*appID));
    }
    return cell;
}

} // namespace

ApplicationMetadataRowView::ApplicationMetadataRowView(std::shared_ptr<Application> application,
                                                       std::optional<QDateTime> lastUpdateCheck,
                                                       UrlOpener* urlOpener, QWidget* parent)
    : QWidget(parent), m_application(std::move(application)), m_lastUpdateCheck(std::move(lastUpdateCheck)),
      m_urlOpener(urlOpener)
{
    setObjectName(QStringLiteral("applicationMetadataRow"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    rebuild();

    QPointer<ApplicationMetadataRowView> self(this);
    m_observer = m_application->addObserver([self](Application::Field field) {
        using F = Application::Field;
        if (field != F::source && field != F::update && field != F::cask && field != F::mas &&
            field != F::checkFailure)
            return;
        postToMain([self] {
            if (self)
                self->rebuild();
        });
    });
}

ApplicationMetadataRowView::~ApplicationMetadataRowView() = default;

void ApplicationMetadataRowView::setLastUpdateCheck(const std::optional<QDateTime>& lastUpdateCheck)
{
    if (m_lastUpdateCheck == lastUpdateCheck)
        return;
    m_lastUpdateCheck = lastUpdateCheck;
    rebuild();
}

void ApplicationMetadataRowView::setSourceFailures(const QList<SourceFailure>& failures)
{
    const bool unread = std::any_of(failures.cbegin(), failures.cend(), [](const SourceFailure& failure) {
        return failure.source == SourceFailure::homebrewCatalogue();
    });
    if (m_catalogueUnread == unread)
        return;
    m_catalogueUnread = unread;
    rebuild();
}

QString ApplicationMetadataRowView::appStoreAddress(const QString& appID)
{
    return QStringLiteral("https://apps.apple.com/app/id") + appID;
}

std::optional<QString> ApplicationMetadataRowView::checkFailureText(const Application::Snapshot& application)
{
    if (!application.checkFailure)
        return std::nullopt;
    // The reason names what could not be read ("The update feed could not be loaded: …").
    return QStringLiteral("The last check failed: ") + application.checkFailure->description;
}

QString ApplicationMetadataRowView::caskAddress(const QString& caskName)
{
    return QStringLiteral("https://formulae.brew.sh/cask/") + caskName + QStringLiteral("#default");
}

QList<ApplicationMetadataRowView::Cell>
ApplicationMetadataRowView::cells(const Application::Snapshot& application,
                                  const std::optional<QDateTime>& lastUpdateCheck, const QDateTime& now,
                                  bool catalogueUnread)
{
    const std::optional<Source> primary = primarySource(application.source);
    const bool sparkleOrStore = primary == Source::sparkle || primary == Source::appStore;
    const bool adoptedBrew = primary == Source::homebrew && adoptedCask(application);
    if (!lastUpdateCheck && !application.update && !sparkleOrStore && !adoptedBrew)
        return {};

    QList<Cell> cells;
    if (sparkleOrStore || adoptedBrew)
        cells.append(sourceCell(application, primary));

    if (application.update && application.update->releaseDate) {
        const QDateTime released = *application.update->releaseDate;
        cells.append({QStringLiteral("Released"), MetadataFormat::abbreviatedDate(released),
                      MetadataFormat::relativeShort(released, now), std::nullopt});
    }

    if (lastUpdateCheck)
        cells.append(
            {QStringLiteral("Checked"), MetadataFormat::relativeShort(*lastUpdateCheck, now),
             application.checkFailure ? QStringLiteral("Check failed") : QStringLiteral("Update Status"),
             std::nullopt});
    else
        cells.append({QStringLiteral("Checked"), QStringLiteral("Unknown"), QStringLiteral("Not checked yet"),
                      std::nullopt});

    if (primary == Source::homebrew) {
        if (application.cask && application.cask->homepage) {
            const QUrl homepage = *application.cask->homepage;
            const QString host = homepage.host();
            cells.append({QStringLiteral("Homepage"), host.isEmpty() ? QStringLiteral("Website") : host,
                          QStringLiteral("View in Browser"), homepage});
        } else if (catalogueUnread) {
            // The catalogue may well name a homepage that nothing else told; it could not be asked.
            cells.append(
                {QStringLiteral("Homepage"), QStringLiteral("Unavailable"), QString(), std::nullopt});
        } else {
            cells.append({QStringLiteral("Homepage"), QStringLiteral("Unavailable"), QStringLiteral("Not provided"),
                          std::nullopt});
        }
    } else if (primary == Source::appStore && application.update) {
        const auto& mas = application.update->mas;
        if (mas && mas->fileSizeBytes) {
            const QString text = MetadataFormat::byteCount(*mas->fileSizeBytes);
            const QStringList parts = text.split(QLatin1Char(' '));
            if (parts.size() == 2)
                cells.append({QStringLiteral("Size"), parts[0], parts[1], std::nullopt});
            else
                cells.append({QStringLiteral("Size"), text, QString(), std::nullopt});
        } else {
            cells.append({QStringLiteral("Size"), QStringLiteral("Unknown"), QStringLiteral("Not provided"),
                          std::nullopt});
        }
    }
    return cells;
}

void ApplicationMetadataRowView::rebuild()
{
    // A cell may be the button being clicked; the old cells go once the event is over.
    if (m_content)
        m_content->deleteLater();
    m_content = nullptr;
    const QList<Cell> list =
        cells(m_application->snapshot(), m_lastUpdateCheck, QDateTime::currentDateTime(), m_catalogueUnread);
    setVisible(!list.isEmpty());
    if (list.isEmpty())
        return;

    m_content = new QWidget(this);
    m_content->setObjectName(QStringLiteral("metadataCells"));
    auto* column = new QVBoxLayout(m_content);
    column->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    row->addStretch();
    for (int i = 0; i < list.size(); ++i) {
        const Cell& cell = list[i];
        std::function<void()> onTap;
        if (cell.link) {
            const QUrl url = *cell.link;
            UrlOpener* opener = m_urlOpener;
            QPointer<QWidget> self(this);
            onTap = [self, opener, url] { LinkPolicy::open(self, opener, url); };
        }
        const bool isAddress = cell.link && !cell.value.isEmpty() && cell.link->host() == cell.value;
        auto* item = new ApplicationMetadataItemView(cell.title, cell.value, cell.subtitle, onTap, isAddress,
                                                     m_content);
        row->addWidget(item, 1);
        if (i + 1 < list.size()) {
            row->addSpacing(8);
            auto* between = divider(QFrame::VLine, "metadataDivider", m_content);
            between->setFixedHeight(35);
            row->addWidget(between);
            row->addSpacing(8);
        }
    }
    row->addStretch();
    column->addLayout(row);
    if (const std::optional<QString> failure = checkFailureText(m_application->snapshot())) {
        // The error's own words, which may be long and hold addresses: wrapped and selectable.
        auto* text = new ClampedLabel(ClampedLabel::anyNumberOfLines, m_content);
        setUpPlainLabel(text, TextStyles::font(TextStyles::Style::subheadline), SystemColors::primary(),
                        "checkFailureText", Qt::AlignHCenter);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        text->setFullText(*failure);
        column->addSpacing(4);
        column->addWidget(text);
    }
    column->addWidget(divider(QFrame::HLine, "metadataRowDivider", m_content));
    layout()->addWidget(m_content);
}

} // namespace norvelle
