#pragma once

#include "util/Error.h"

namespace norvelle {

// Outside JSON that does not parse; the description is the parser's own text.
class JsonError : public Error {
public:
    explicit JsonError(QString description) : Error(std::move(description)) {}
};

} // namespace norvelle
