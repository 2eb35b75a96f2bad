#pragma once

#include "sources/mas/RegionProvider.h"

#include <QLocale>
#include <optional>

namespace norvelle {

// The region of a locale: by default the user's system locale, read afresh on every call.
class LocaleRegionProvider : public RegionProvider {
public:
    LocaleRegionProvider() = default;
    explicit LocaleRegionProvider(const QLocale& locale) : m_locale(locale) {}

    std::optional<QString> currentRegion() const override;

    // The locale's territory code; none for a locale without a territory, such as "C".
    static std::optional<QString> regionOf(const QLocale& locale);

private:
    std::optional<QLocale> m_locale;
};

} // namespace norvelle
