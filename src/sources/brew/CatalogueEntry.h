#pragma once

#include "model/Cask.h"

#include <optional>
#include <simdjson.h>

namespace norvelle {

// One catalogue entry read from simdjson's tree as CaskParser::parseCask reads the same entry as
// a QJsonObject, not installed: a member of another type, null included, is absent, and of a
// repeated member the last counts. None when "token" or "version" is not a string.
std::optional<Cask> catalogueCask(const simdjson::dom::object& entry);

} // namespace norvelle
