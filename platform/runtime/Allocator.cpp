#include "platform/runtime/Allocator.h"

#include <dlfcn.h>
#include <malloc.h>

namespace rt::allocator {

namespace {

using Control = int (*)(const char*, void*, size_t*, void*, size_t);

// The linked allocator's control call, found at run time: libraries stay
// free of it, and a program without it has the C library's heap.
Control control() {
    static const Control found = reinterpret_cast<Control>(::dlsym(RTLD_DEFAULT, "mallctl"));
    return found;
}

}  // namespace

void giveBackFreed() {
    if (Control ctl = control()) {
        // The allocator's own thread stopped first: a return of its own
        // under way would otherwise still be giving pages back after this.
        bool running = false, off = false, on = true;
        size_t size = sizeof running;
        ctl("background_thread", &running, &size, &off, sizeof off);
        // This thread's cache, so its blocks are among the freed.
        ctl("thread.tcache.flush", nullptr, nullptr, nullptr, 0);
        // Every arena: "arena.<MALLCTL_ARENAS_ALL>.purge".
        ctl("arena.4096.purge", nullptr, nullptr, nullptr, 0);
        if (running) ctl("background_thread", nullptr, nullptr, &on, sizeof on);
        return;
    }
    ::malloc_trim(0);
}

const char* name() { return control() ? "jemalloc" : "libc"; }

}  // namespace rt::allocator
