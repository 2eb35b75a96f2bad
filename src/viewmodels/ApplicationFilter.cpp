#include "viewmodels/ApplicationFilter.h"

#include <QCollator>
#include <QHashFunctions>
#include <algorithm>
#include <vector>

namespace norvelle {

QList<ApplicationFilter> allApplicationFilters()
{
    return {ApplicationFilter::all,    ApplicationFilter::adoptable, ApplicationFilter::appStore,
            ApplicationFilter::brew,   ApplicationFilter::ignored,   ApplicationFilter::sparkle,
            ApplicationFilter::updates};
}

size_t qHash(ApplicationFilter filter, size_t seed)
{
    return ::qHash(static_cast<int>(filter), seed);
}

bool isVisibleUnder(ApplicationFilter filter, const Application::Snapshot& application)
{
    if (filter == ApplicationFilter::ignored)
        return application.ignored;
    if (application.ignored)
        return false;
    switch (filter) {
    case ApplicationFilter::all:
        return true;
    case ApplicationFilter::adoptable:
        return application.cask && application.cask->adoptable;
    case ApplicationFilter::appStore:
        return application.source.contains(Application::Source::appStore);
    case ApplicationFilter::brew:
        return application.source.contains(Application::Source::homebrew);
    case ApplicationFilter::sparkle:
        return application.source.contains(Application::Source::sparkle);
    case ApplicationFilter::updates:
        return application.update.has_value();
    case ApplicationFilter::ignored:
        break;
    }
    return false;
}

QList<std::shared_ptr<Application>>
visibleApplications(const QList<std::shared_ptr<Application>>& applications, ApplicationFilter filter,
                    const QString& searchText, const QLocale& locale)
{
    QCollator collator(locale.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates)
                                                       : locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);

    // Each application is read once, under its own lock, before anything is compared; only the
    // visible ones are sorted, each by a sort key made once: the list is recomputed on the main
    // thread, and comparing names through the collator at every step of the sort took tens of
    // milliseconds with thousands of applications.
    struct Entry {
        std::shared_ptr<Application> application;
        bool hasUpdate;
        QCollatorSortKey key;
    };
    std::vector<Entry> entries;
    entries.reserve(static_cast<size_t>(applications.size()));
    for (const auto& application : applications) {
        if (!application)
            continue;
        const Application::Snapshot snapshot = application->snapshot();
        if (!isVisibleUnder(filter, snapshot))
            continue;
        if (!searchText.isEmpty() && !snapshot.name.contains(searchText, Qt::CaseInsensitive))
            continue;
        entries.push_back({application, snapshot.update.has_value(), collator.sortKey(snapshot.name)});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.hasUpdate != b.hasUpdate)
            return a.hasUpdate;
        return a.key.compare(b.key) < 0;
    });

    QList<std::shared_ptr<Application>> visible;
    visible.reserve(static_cast<qsizetype>(entries.size()));
    for (const Entry& entry : entries)
        visible.append(entry.application);
    return visible;
}

} // namespace norvelle
