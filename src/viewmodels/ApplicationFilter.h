#pragma once

#include "model/Application.h"

#include <QList>
#include <QLocale>
#include <QMetaType>
#include <QString>
#include <memory>

namespace norvelle {

// The sidebar's filter. It carries no titles: each view that shows a filter names it itself.
enum class ApplicationFilter { all, adoptable, appStore, brew, ignored, sparkle, updates };

// Every filter, in declaration order.
QList<ApplicationFilter> allApplicationFilters();
size_t qHash(ApplicationFilter filter, size_t seed = 0);

// Whether the application shows under the filter. `ignored` is the only filter that shows
// ignored applications, and it shows nothing else.
bool isVisibleUnder(ApplicationFilter filter, const Application::Snapshot& application);

// The sidebar's list, computed afresh from the store's list (which is never reordered):
// applications with an update first, then by name (locale-aware and case-insensitive; equal
// names keep the store's order); only those visible under the filter; and, when `searchText`
// is not empty, only those whose name contains it, case-insensitively and exactly as typed.
// `locale` orders the names; the C locale stands for en_US, whose ordering people expect.
QList<std::shared_ptr<Application>>
visibleApplications(const QList<std::shared_ptr<Application>>& applications, ApplicationFilter filter,
                    const QString& searchText, const QLocale& locale = QLocale());

} // namespace norvelle

Q_DECLARE_METATYPE(norvelle::ApplicationFilter)
