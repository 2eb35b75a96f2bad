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
    // Each application is read once, under its own lock, before anything is compared.
    struct Entry {
        std::shared_ptr<Application> application;
        Application::Snapshot snapshot;
    };
    std::vector<Entry> entries;
    entries.reserve(static_cast<size_t>(applications.size()));
    for (const auto& application : applications) {
        if (application)
            entries.push_back({application, application->snapshot()});
    }

    QCollator collator(locale.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates)
                                                       : locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(entries.begin(), entries.end(), [&collator](const Entry& a, const Entry& b) {
        const bool aHasUpdate = a.snapshot.update.has_value();
        if (aHasUpdate != b.snapshot.update.has_value())
            return aHasUpdate;
        return collator.compare(a.snapshot.name, b.snapshot.name) < 0;
    });

    QList<std::shared_ptr<Application>> visible;
    for (const Entry& entry : entries) {
        if (!isVisibleUnder(filter, entry.snapshot))
            continue;
        if (!searchText.isEmpty() && !entry.snapshot.name.contains(searchText, Qt::CaseInsensitive))
            continue;
        visible.append(entry.application);
    }
    return visible;
}

} // namespace norvelle
