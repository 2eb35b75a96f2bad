#pragma once

#include <utility>

namespace norvelle {

// Runs a function when the scope ends, however it ends: a reservation taken at
// the first step of an operation is released on every exit, thrown ones included.
template <typename F> class ScopeExit {
public:
    explicit ScopeExit(F f) : m_f(std::move(f)) {}
    ~ScopeExit() { m_f(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    F m_f;
};

} // namespace norvelle
