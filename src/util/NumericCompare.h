#pragma once

#include <QStringView>
#include <compare>

namespace norvelle {

// The numeric string ordering used to decide whether a source offers a newer version:
// the whole strings are compared from the start; where both have a run of ASCII digits at
// the same point, the runs compare by value (of any length, without overflow); every other
// character compares by its UTF-16 value, with no case folding and no locale; a proper prefix
// orders first. The comma is an ordinary character and "latest" has no special rank.
//
// Digit runs of equal value but different spelling ("01" and "1") are equal, so "1.01" and
// "1.1" compare equal and neither counts as newer than the other.
std::weak_ordering numericCompare(QStringView a, QStringView b);

} // namespace norvelle
