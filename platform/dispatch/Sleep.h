#pragma once
// Puts the calling thread to sleep. On mock time a sleep on the main thread
// moves the clock forward itself, firing what falls due on the way (the main
// thread's own work waits until it wakes); a sleep on another thread ends
// when the clock gets there.

namespace dispatch {

void sleepFor(double seconds);

}  // namespace dispatch
