#pragma once
// Runs a block once per flag, however many threads race to it; the others
// wait until it has finished. A block that throws leaves the flag unset.

#include <functional>
#include <mutex>

namespace dispatch {

struct Once {
    std::once_flag flag;
};

inline void once(Once& token, const std::function<void()>& block) { std::call_once(token.flag, block); }

}  // namespace dispatch
