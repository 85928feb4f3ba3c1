// Replaces the global operator new, so a test can run out of memory on demand.
#pragma once

namespace ravlet::test {

// -1: allocations never fail. Otherwise this many more succeed, and every one
// after them throws std::bad_alloc, as when memory is exhausted.
extern long allocations_left;
// How many allocations have failed so far.
extern long allocations_failed;

} // namespace ravlet::test
