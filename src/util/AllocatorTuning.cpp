#include "util/AllocatorTuning.h"

#include <cstdlib> // defines __GLIBC__ where it applies

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace norvelle::allocator {

void limitArenas()
{
#if defined(__GLIBC__)
    // Two: the main thread's and one that every worker shares. Allocation-heavy work runs a
    // few threads at a time at most, so contention on the shared arena stays small.
    mallopt(M_ARENA_MAX, 2);
#endif
}

void releaseFreed()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace norvelle::allocator
