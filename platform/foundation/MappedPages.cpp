#include "platform/foundation/MappedPages.h"

#include <sys/mman.h>
#include <unistd.h>


namespace ns::pages {

namespace {

size_t pageSize() {
    static const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    return page;
}

}  // namespace

size_t rounded(size_t length) { return (length + pageSize() - 1) / pageSize() * pageSize(); }

void* map(size_t length) {
    void* block = ::mmap(nullptr, rounded(length), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

void unmap(void* block, size_t length) {
    if (block) ::munmap(block, rounded(length));
}

void* resize(void* block, size_t length, size_t newLength) {
    const size_t from = rounded(length), to = rounded(newLength);
    if (from == to) return block;
    if (to < from) {
        // Shrinking gives back the tail in place.
        ::munmap(static_cast<char*>(block) + to, from - to);
        return block;
    }
    void* moved = ::mremap(block, from, to, MREMAP_MAYMOVE);
    return moved == MAP_FAILED ? nullptr : moved;
}

}  // namespace ns::pages
