#include "model/Theme.h"

#include "model/RawValueTable.h"

namespace norvelle {

namespace {

const rawvalues::Table<Theme, 3> kThemes{{
    {Theme::system, "Automatic"},
    {Theme::light, "Light"},
    {Theme::dark, "Dark"},
}};

} // namespace

QString toRawValue(Theme theme)
{
    return rawvalues::toText(kThemes, theme);
}

std::optional<Theme> themeFromRawValue(const QString& rawValue)
{
    return rawvalues::fromText(kThemes, rawValue);
}

QList<Theme> allThemeCases()
{
    QList<Theme> themes;
    for (const auto& entry : kThemes)
        themes.append(entry.first);
    return themes;
}

Theme themeFromSetting(const QString& storedText)
{
    return themeFromRawValue(storedText).value_or(Theme::system);
}

size_t qHash(Theme theme, size_t seed)
{
    return qHash(toRawValue(theme), seed);
}

} // namespace norvelle
