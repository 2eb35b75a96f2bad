#pragma once

#include <QHashFunctions>
#include <QStringList>
#include <optional>

// Helpers that feed record fields into a Qt hash one after another, so that two
// records that compare equal field by field always hash alike.
namespace norvelle::hashing {

template <typename T> size_t feed(size_t seed, const T& value)
{
    return qHashMulti(seed, value);
}

// An optional contributes a presence marker first, so "absent" and "present
// with an empty value" hash apart just as they compare apart.
template <typename T> size_t feedOptional(size_t seed, const std::optional<T>& value)
{
    seed = qHashMulti(seed, int(value.has_value()));
    return value ? qHashMulti(seed, *value) : seed;
}

// A list contributes its length, then each element in order.
inline size_t feedList(size_t seed, const QStringList& list)
{
    seed = qHashMulti(seed, qint64(list.size()));
    for (const QString& element : list)
        seed = qHashMulti(seed, element);
    return seed;
}

// Negative zero compares equal to zero, so it must hash like zero too.
inline size_t feedNumber(size_t seed, double value)
{
    return qHashMulti(seed, value == 0.0 ? 0.0 : value);
}

} // namespace norvelle::hashing
