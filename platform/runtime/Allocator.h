#pragma once
// The allocator the whole process uses, as far as our code needs it: every
// program the project builds links one allocator made for threaded programs
// (AllocatorSettings.cpp says which and how it is set), and that allocator
// alone decides when memory let go goes back to the system. A sanitizer
// build keeps the sanitizer's own, and a program built elsewhere has the C
// library's: the calls here then ask that one.

#include <cstddef>

namespace rt::allocator {

// Gives the system back, now, the pages of everything freed so far, on
// every thread's arenas: what a measure of the resident set reads after it
// is then what is held, not what waits to go back. For measures: it stops
// and restarts the allocator's own thread.
void giveBackFreed();

// The name of the allocator serving this process ("jemalloc" or "libc").
const char* name();

}  // namespace rt::allocator
