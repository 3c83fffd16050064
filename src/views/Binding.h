#pragma once

#include <functional>

namespace corvane {

// A two-way binding: reads and writes a value owned elsewhere (a field of a model). Whoever holds
// a binding keeps no copy of the value: each read goes to the owner.
template <typename T> struct Binding {
    std::function<T()> get;
    std::function<void(const T&)> set;
};

} // namespace corvane
