// Kept out of the tests' own files, so no call is inlined into a mismatch.
#include "failing_allocator.h"

#include <cstdlib>
#include <new>

namespace ravlet::test {
long allocations_left = -1;
long allocations_failed = 0;
}

void* operator new(std::size_t size)
{
    using ravlet::test::allocations_left;
    if (allocations_left == 0) {
        ++ravlet::test::allocations_failed;
        throw std::bad_alloc();
    }
    if (allocations_left > 0)
        --allocations_left;
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

// Arrays too: a sanitizer's run time would otherwise serve them on its own.
void* operator new[](std::size_t size)
{
    return operator new(size);
}

void operator delete[](void* p) noexcept
{
    operator delete(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    operator delete(p);
}

