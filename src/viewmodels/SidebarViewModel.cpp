#include "viewmodels/SidebarViewModel.h"

#include "coordinator/AppCoordinator.h"
#include "coordinator/AppState.h"
#include "services/ApplicationStore.h"
#include "services/EnvironmentService.h"
#include "util/Async.h"
#include "platform/Logger.h"
#include "viewmodels/ViewModelActions.h"

#include <QHash>
#include <QPointer>
#include <QSet>

namespace norvelle {

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The units a transfer or a tool gives a wait in ("after 0 ms", "after 10001 milliseconds", "120s").
bool isTimeUnit(QStringView word)
{
    static const QSet<QString> units{
        QStringLiteral("ns"),          QStringLiteral("us"),           QStringLiteral("\u00b5s"),
        QStringLiteral("\u03bcs"),     QStringLiteral("microsecond"),  QStringLiteral("microseconds"),
        QStringLiteral("ms"),          QStringLiteral("msec"),         QStringLiteral("msecs"),
        QStringLiteral("millisecond"), QStringLiteral("milliseconds"), QStringLiteral("s"),
        QStringLiteral("sec"),         QStringLiteral("secs"),         QStringLiteral("second"),
        QStringLiteral("seconds"),     QStringLiteral("min"),          QStringLiteral("mins"),
        QStringLiteral("minute"),      QStringLiteral("minutes"),      QStringLiteral("h"),
        QStringLiteral("hr"),          QStringLiteral("hrs"),          QStringLiteral("hour"),
        QStringLiteral("hours"),       QStringLiteral("day"),          QStringLiteral("days"),
    };
    return units.contains(word.toString().toLower());
}

// A reason with every time in it (a number directly followed by a unit of time) as one mark:
// reasons that differ only in how long something waited are one reason, while a status code, a
// port or a host's number still tells them apart. A NUL of the text itself is doubled, so no
// text can pass for a mark.
QString withoutTimes(const QString& reason)
{
    constexpr QChar mark(u'\0');
    const qsizetype size = reason.size();
    QString kind;
    kind.reserve(size);
    qsizetype i = 0;
    while (i < size) {
        if (!isAsciiDigit(reason.at(i)) || (i > 0 && reason.at(i - 1).isLetterOrNumber())) {
            kind.append(reason.at(i));
            if (reason.at(i) == mark)
                kind.append(mark);
            ++i;
            continue;
        }
        auto digitsFrom = [&](qsizetype at) {
            while (at < size && isAsciiDigit(reason.at(at)))
                ++at;
            return at;
        };
        qsizetype end = digitsFrom(i);
        // "0.5 seconds": the fraction belongs to the time, or only its last digits would fold.
        if (end + 1 < size && (reason.at(end) == u'.' || reason.at(end) == u',') &&
            isAsciiDigit(reason.at(end + 1)))
            end = digitsFrom(end + 1);
        const qsizetype unit = end < size && reason.at(end) == u' ' ? end + 1 : end;
        qsizetype unitEnd = unit;
        while (unitEnd < size && reason.at(unitEnd).isLetter())
            ++unitEnd;
        if (unitEnd > unit && isTimeUnit(QStringView(reason).sliced(unit, unitEnd - unit))) {
            kind.append(mark).append(u't');
            i = unitEnd;
        } else {
            kind.append(QStringView(reason).sliced(i, end - i));
            i = end;
        }
    }
    return kind;
}

} // namespace

SidebarViewModel::SidebarViewModel(AppCoordinator& coordinator, ApplicationStore& store, AppState& appState,
                                   QObject* parent)
    : QObject(parent), m_coordinator(coordinator), m_store(store), m_appState(appState)
{
    connect(&m_store, &ApplicationStore::applicationsChanged, this, &SidebarViewModel::recountUnreadSources);
    connect(&m_store, &ApplicationStore::applicationChanged, this,
            [this](const std::shared_ptr<Application>&, Application::Field field) {
                if (field == Application::Field::checkFailure || field == Application::Field::ignored)
                    m_unreadSourcesStale = true;
            });
    // Once per turn, however many applications a check wrote back in it.
    connect(&m_store, &ApplicationStore::applicationsUpdated, this, [this] {
        if (m_unreadSourcesStale)
            recountUnreadSources();
    });
    recountUnreadSources();
}

SidebarViewModel::~SidebarViewModel() = default;

void SidebarViewModel::setIsDiscovering(bool value)
{
    if (m_isDiscovering == value)
        return;
    m_isDiscovering = value;
    Q_EMIT isDiscoveringChanged(value);
}

void SidebarViewModel::setIsCheckingUpdates(bool value)
{
    if (m_isCheckingUpdates == value)
        return;
    m_isCheckingUpdates = value;
    Q_EMIT isCheckingUpdatesChanged(value);
}

void SidebarViewModel::setErrorMessage(const std::optional<QString>& value)
{
    if (m_errorMessage == value)
        return;
    m_errorMessage = value;
    Q_EMIT errorMessageChanged(value);
}

void SidebarViewModel::setDiscoveryProblems(const QStringList& value)
{
    if (m_discoveryProblems == value)
        return;
    m_discoveryProblems = value;
    Q_EMIT discoveryProblemsChanged(value);
}

void SidebarViewModel::setCheckFailure(const std::optional<QString>& line)
{
    m_checkFailure = line;
    recountUnreadSources();
}

void SidebarViewModel::recountUnreadSources()
{
    m_unreadSourcesStale = false;
    QStringList problems = unreadSourceLines(m_store.applications());
    if (m_checkFailure)
        problems.prepend(*m_checkFailure);
    if (m_checkProblems == problems)
        return;
    m_checkProblems = problems;
    Q_EMIT checkProblemsChanged(problems);
}

QStringList SidebarViewModel::unreadSourceLines(const QList<std::shared_ptr<Application>>& applications)
{
    struct Unread {
        QStringList names;
        QStringList reasons; // one per name
        QStringList kinds;   // one per name: its reason without times
        QHash<QString, qsizetype> sharing; // per kind, how many have it
    };
    QStringList order;
    QHash<QString, Unread> bySource;
    for (const std::shared_ptr<Application>& application : applications) {
        application->read([&](const Application::Snapshot& state) {
            if (!state.checkFailure || state.ignored)
                return;
            if (!bySource.contains(state.checkFailure->source))
                order.append(state.checkFailure->source);
            Unread& unread = bySource[state.checkFailure->source];
            unread.names.append(state.name);
            unread.reasons.append(state.checkFailure->description);
            unread.kinds.append(withoutTimes(state.checkFailure->description));
            ++unread.sharing[unread.kinds.constLast()];
        });
    }
    QStringList lines;
    for (const QString& source : order) {
        const Unread& unread = bySource.value(source);
        // The reason most of them share, told with the first application it cost when the others
        // had reasons of their own (each application's details say its own).
        qsizetype shown = 0;
        qsizetype sharing = 0;
        for (qsizetype i = 0; i < unread.kinds.size(); ++i) {
            if (const qsizetype n = unread.sharing.value(unread.kinds.at(i)); n > sharing) {
                shown = i;
                sharing = n;
            }
        }
        const qsizetype count = unread.names.size();
        // A tool's listing is one read for all of its applications, not one per application.
        const bool listing = source == SourceFailure::appStore() || source == SourceFailure::homebrew();
        QString line = listing      ? source
                       : count == 1 ? source + QStringLiteral(" of ") + unread.names.first()
                       : source == SourceFailure::updateFeed()
                           ? QStringLiteral("Update feeds of %1 applications").arg(count)
                           : source + QStringLiteral(" of %1 applications").arg(count);
        line += QStringLiteral(" could not be read");
        if (!listing && sharing < count)
            line += QStringLiteral(", among them ") + unread.names.at(shown) + QStringLiteral("'s");
        lines.append(line + QStringLiteral(": ") + unread.reasons.at(shown));
    }
    return lines;
}

void SidebarViewModel::setCurrentFilter(ApplicationFilter value)
{
    if (m_currentFilter == value)
        return;
    m_currentFilter = value;
    Q_EMIT currentFilterChanged(value);
}

void SidebarViewModel::setShowUpdateSheet(bool value)
{
    if (m_showUpdateSheet == value)
        return;
    m_showUpdateSheet = value;
    Q_EMIT showUpdateSheetChanged(value);
}

QFuture<void> SidebarViewModel::discoverApplications()
{
    if (m_isDiscovering)
        return finishedAction();
    setIsDiscovering(true);
    setErrorMessage(std::nullopt);

    AppCoordinator* coordinator = &m_coordinator;
    ApplicationStore* store = &m_store;
    return runForMainThread([coordinator, store] {
               const EnvironmentStatus status = coordinator->environmentService()->checkEnvironment();
               invokeOnMain([store, &status] { store->setEnvironmentStatus(status); });
               return coordinator->discoverApplications();
           })
        .then(this, [this](QFuture<QList<SourceFailure>> done) {
            QStringList problems;
            if (const std::exception_ptr error = failureOf(done)) {
                const QString description = logActionFailure(QStringLiteral("discover applications"), error);
                setErrorMessage(description);
                problems.append(QStringLiteral("Failed to discover applications: ") + description);
            } else {
                for (const SourceFailure& failure : done.result())
                    problems.append(failure.source + QStringLiteral(" could not be read: ") +
                                    failure.description);
            }
            setDiscoveryProblems(problems);
            setIsDiscovering(false);
        });
}

QFuture<void> SidebarViewModel::checkForUpdates()
{
    if (m_store.applications().isEmpty() || m_isCheckingUpdates)
        return finishedAction();
    setIsCheckingUpdates(true);
    setErrorMessage(std::nullopt);

    AppCoordinator* coordinator = &m_coordinator;
    return runForMainThread([coordinator] { coordinator->checkForUpdates(); })
        .then(this, [this](QFuture<void> done) {
            if (const std::exception_ptr error = failureOf(done)) {
                reportUpdateCheckFailure(error);
                setCheckFailure(QStringLiteral("Failed to check for updates: ") + failureDescription(error));
            } else {
                setCheckFailure(std::nullopt);
            }
            setIsCheckingUpdates(false);
        });
}

void SidebarViewModel::reportUpdateCheckFailure(const std::exception_ptr& error)
{
    const QString description = failureDescription(error);
    setErrorMessage(description);
    Logger::error(QStringLiteral("Failed to check for updates: ") + description);
    Logger::error(QStringLiteral("Error details: ") + failureDetails(error));
    m_appState.setUpdateCheckErrorMessage(description);
    m_appState.setShowUpdateCheckError(true);
}

void forwardProgressToMainActor(const UpdateProgress& progress,
                                const QList<std::shared_ptr<Application>>& applications,
                                std::function<void(int, const UpdateProgress&)> handler, QObject* context)
{
    const bool hasContext = context != nullptr;
    postToMain([progress, applications, handler = std::move(handler), hasContext,
                guard = QPointer<QObject>(context)] {
        if ((hasContext && !guard) || !handler || !progress.application)
            return;
        const QUuid id = progress.application->id();
        for (qsizetype position = 0; position < applications.size(); ++position) {
            const auto& application = applications.at(position);
            if (application && application->id() == id) {
                handler(static_cast<int>(position), progress);
                return;
            }
        }
    });
}

} // namespace norvelle
