// Replaces the global allocation functions of the test program so that large
// allocations can be made to fail on demand. Every form is replaced: a sanitizer runtime
// brings its own of each, which would not see the hook.
#include "alloc_hook.h"

#include <cstdlib>
#include <new>

size_t alloc_fail_at_least = static_cast<size_t>(-1);

namespace {

void *allocate(size_t n) noexcept {
    if (n >= alloc_fail_at_least) return nullptr;
    return malloc(n ? n : 1);
}

void *allocate_or_throw(size_t n) {
    void *p = allocate(n);
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace

void *operator new(size_t n) { return allocate_or_throw(n); }
void *operator new[](size_t n) { return allocate_or_throw(n); }
void *operator new(size_t n, const std::nothrow_t &) noexcept { return allocate(n); }
void *operator new[](size_t n, const std::nothrow_t &) noexcept { return allocate(n); }

void operator delete(void *p) noexcept { free(p); }
void operator delete[](void *p) noexcept { free(p); }
void operator delete(void *p, size_t) noexcept { free(p); }
void operator delete[](void *p, size_t) noexcept { free(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { free(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { free(p); }
