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
extern "C" {
// The allocator looks this name up in the program; it must stay unmangled.
extern const char* const malloc_conf;
const char* const malloc_conf = "background_thread:true,dirty_decay_ms:1000,muzzy_decay_ms:0";
}
