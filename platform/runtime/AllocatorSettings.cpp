// Linked into every program the project builds (not into its libraries):
// how the allocator serves this app, read by the allocator as the process
// starts, so nobody has to set a variable for it. Each setting is kept for
// what it was measured to do against the allocator's default:
//
// - background_thread: freed pages go back on a thread of the allocator's
//   own, while the app sits idle too, not only at the next allocation.
//   Without it nothing goes back while the app is idle: six large record
//   replies let go leave 83 MiB resident 10 s later instead of 34 MiB.
// - dirty_decay_ms: what is freed goes back within about a second (the
//   default waits ten; those replies then still leave 38 MiB 10 s later);
//   a burst of work reuses it meanwhile. Reads take the same time either way.
// - tcache_nslots_small_*: each thread keeps up to 2,000 small blocks of a
//   size for itself (200 by default), so that reading a reply of records,
//   then letting it go, seldom goes past the thread's own cache; with the
//   default a records reply reads in about 8% more time, a deep document
//   in 12% more, a wide one in a quarter more.
// - lg_extent_max_active_fit: a freed run of pages up to 1,024 times the
//   size asked for may serve the request (64 times by default), so that
//   what a read of many small objects freed serves the next read instead of
//   fresh pages faulted in; with the default a records reply reads in
//   about a fifth more time. It costs about 8 MiB left resident after a
//   store's large progressive JPEG icons are let go.
//
// Given back means no longer resident (muzzy pages are given back at once,
// the allocator's default).
extern "C" {
// The allocator looks this name up in the program; it must stay unmangled.
extern const char* const malloc_conf;
const char* const malloc_conf =
    "background_thread:true,dirty_decay_ms:1000,"
    "tcache_nslots_small_min:200,tcache_nslots_small_max:2000,"
    "lg_extent_max_active_fit:10";
}
