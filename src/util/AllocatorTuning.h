#pragma once

namespace norvelle {

// The C allocator keeps what a thread frees in that thread's arena for the thread to reuse.
// Our pools run a different thread for each refresh, and each refresh parses the cask
// catalogue into some hundred megabytes of short-lived objects, so without these the resident
// size grows by roughly that much per pool thread while the live heap stays flat.
namespace allocator {

// Caps the number of arenas; call first thing in main, before any thread starts.
void limitArenas();

// Hands freed memory back to the system; call after a large transient structure is gone.
// Takes some milliseconds: never on the main thread.
void releaseFreed();

} // namespace allocator

} // namespace norvelle
