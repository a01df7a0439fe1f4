// Linked into every program the project builds (not into its libraries):
// how the allocator serves this app, read by the allocator as the process
// starts, so nobody has to set a variable for it.
//
// - background_thread: freed pages go back on a thread of the allocator's
//   own, while the app sits idle too, not only at the next allocation.
// - dirty_decay_ms: what is freed goes back within about a second; a
//   burst of work reuses it meanwhile.
// - muzzy_decay_ms 0: given back means no longer resident, at once, not
//   merely marked as reclaimable under pressure.
// - tcache_nslots_small_*: each thread keeps up to 2,000 small blocks of a
//   size for itself (200 by default), so that reading a reply of records,
//   then letting it go, seldom goes past the thread's own cache; with the
//   default a large records reply reads in about a tenth more time.
extern "C" {
// The allocator looks this name up in the program; it must stay unmangled.
extern const char* const malloc_conf;
const char* const malloc_conf =
    "background_thread:true,dirty_decay_ms:1000,muzzy_decay_ms:0,"
    "tcache_nslots_small_min:200,tcache_nslots_small_max:2000";
}
