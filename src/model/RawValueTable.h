#pragma once

#include <QLatin1String>
#include <QString>
#include <array>
#include <optional>
#include <utility>

// Enumerations with string raw values keep one table of (case, text) pairs, so
// the two directions of the conversion can never disagree.
namespace norvelle::rawvalues {

template <typename Enum, size_t N> using Table = std::array<std::pair<Enum, const char*>, N>;

template <typename Enum, size_t N> QString toText(const Table<Enum, N>& table, Enum value)
{
    for (const auto& [candidate, text] : table) {
        if (candidate == value)
            return QString::fromLatin1(text);
    }
    return {};
}

// Exact, case-sensitive match only.
template <typename Enum, size_t N>
std::optional<Enum> fromText(const Table<Enum, N>& table, const QString& rawValue)
{
    for (const auto& [candidate, text] : table) {
        if (rawValue == QLatin1String(text))
            return candidate;
    }
    return std::nullopt;
}

} // namespace norvelle::rawvalues
