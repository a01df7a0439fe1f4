#include "platform/runtime/LargeAllocations.h"

#include <malloc.h>

namespace rt {

namespace {

// A fixed threshold also stops the C library from moving it.
[[maybe_unused]] const bool largeBlocksMapped = mallopt(M_MMAP_THRESHOLD, int(LargeAllocationBytes)) == 1;

}  // namespace

}  // namespace rt
