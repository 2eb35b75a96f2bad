#include "sources/mas/LocaleRegionProvider.h"

namespace norvelle {

std::optional<QString> LocaleRegionProvider::currentRegion() const
{
    return regionOf(m_locale ? *m_locale : QLocale::system());
}

std::optional<QString> LocaleRegionProvider::regionOf(const QLocale& locale)
{
    if (locale.territory() == QLocale::AnyTerritory)
        return std::nullopt;
    const QString code = QLocale::territoryToCode(locale.territory());
    if (code.isEmpty())
        return std::nullopt;
    return code;
}

} // namespace norvelle
