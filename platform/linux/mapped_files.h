// Job files mapped straight from the page cache, kept safe from a file that shrinks under its
// mapping: the pages it lost read as zeros instead of killing the process with SIGBUS.
#pragma once

#include <cstddef>

namespace zelmo::files::mapped {

// Starts watching the mapping [start, start + size) for lost pages; false when no room is left
// to watch another (the caller then reads the file instead of mapping it).
bool watch(void* start, std::size_t size);
// Stops watching the mapping that begins at start, if it is watched.
void forget(const void* start);
// Whether the mapping that begins at start lost pages since it was watched.
bool damaged(const void* start);

}  // namespace zelmo::files::mapped
