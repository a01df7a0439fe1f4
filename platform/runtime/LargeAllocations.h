#pragma once
// How the process's allocator treats large blocks. A block of
// LargeAllocationBytes or more is mapped on its own and is the system's
// again as soon as it is freed, as on the phone, where large allocations
// are regions of their own. The C library would otherwise raise that
// threshold each time such a block is freed, and serve later ones from its
// arenas, which keep them resident once freed: a reply or a canvas let go
// would stay beside the next one, uncounted by every budget that saw it
// given back. Set once, as the runtime loads.

#include <cstddef>

namespace rt {

inline constexpr size_t LargeAllocationBytes = size_t(1) << 20;

}  // namespace rt
