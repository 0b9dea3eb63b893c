// Replaces the global allocation functions of the test program so that large
// allocations can be made to fail on demand.
#include "alloc_hook.h"

#include <cstdlib>
#include <new>

size_t alloc_fail_at_least = static_cast<size_t>(-1);

void *operator new(size_t n) {
    if (n >= alloc_fail_at_least) throw std::bad_alloc();
    void *p = malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    return p;
}

void operator delete(void *p) noexcept { free(p); }
void operator delete(void *p, size_t) noexcept { free(p); }
