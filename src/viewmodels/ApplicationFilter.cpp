#include "viewmodels/ApplicationFilter.h"

#include <QCollator>
#include <QHashFunctions>
#include <algorithm>
#include <memory>
#include <unordered_map>
#include <vector>

namespace norvelle {

namespace {

// A name's sort key depends on the locale alone, and the list is recomputed on the main thread
// after every batch of changes, mostly over the same names: the keys are kept from one
// computation to the next, per thread, until the locale changes or the names outgrow them.
class SortKeys {
public:
    // Readies the keys for `count` more names in the locale; the keys handed out before are
    // gone when it changes.
    void prepare(const QLocale& locale, size_t count)
    {
        if (!m_collator || m_locale != locale) {
            m_locale = locale;
            m_collator = std::make_unique<QCollator>(
                locale.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates) : locale);
            m_collator->setCaseSensitivity(Qt::CaseInsensitive);
            m_keys.clear();
        }
        if (m_keys.size() + count > maxKeys)
            m_keys.clear();
    }

    // Valid until the next prepare().
    const QCollatorSortKey& of(const QString& name)
    {
        auto found = m_keys.find(name);
        if (found == m_keys.end())
            found = m_keys.emplace(name, m_collator->sortKey(name)).first;
        return found->second;
    }

private:
    static constexpr size_t maxKeys = 50'000;
    QLocale m_locale;
    std::unique_ptr<QCollator> m_collator;
    std::unordered_map<QString, QCollatorSortKey> m_keys;
};

} // namespace

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
    thread_local SortKeys sortKeys;

    // Each application is read once, in place under its own lock, before anything is compared;
    // only the visible ones are sorted, each by its name's sort key: the list is recomputed on
    // the main thread, and comparing names through the collator at every step of the sort took
    // tens of milliseconds with thousands of applications.
    struct Entry {
        std::shared_ptr<Application> application;
        bool hasUpdate;
        QString name;
        const QCollatorSortKey* key = nullptr;
    };
    std::vector<Entry> entries;
    entries.reserve(static_cast<size_t>(applications.size()));
    for (const auto& application : applications) {
        if (!application)
            continue;
        application->read([&](const Application::Snapshot& state) {
            if (isVisibleUnder(filter, state) &&
                (searchText.isEmpty() || state.name.contains(searchText, Qt::CaseInsensitive)))
                entries.push_back({application, state.update.has_value(), state.name});
        });
    }
    sortKeys.prepare(locale, entries.size());
    for (Entry& entry : entries)
        entry.key = &sortKeys.of(entry.name);
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.hasUpdate != b.hasUpdate)
            return a.hasUpdate;
        return a.key->compare(*b.key) < 0;
    });

    QList<std::shared_ptr<Application>> visible;
    visible.reserve(static_cast<qsizetype>(entries.size()));
    for (const Entry& entry : entries)
        visible.append(entry.application);
    return visible;
}

} // namespace norvelle
