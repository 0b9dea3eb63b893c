// Test hook: makes allocations of a given size or more fail with std::bad_alloc.
#pragma once

#include <cstddef>

extern size_t alloc_fail_at_least;

// Allocations of `size` bytes or more fail while an instance lives.
struct failing_allocations {
    explicit failing_allocations(size_t size) { alloc_fail_at_least = size; }
    ~failing_allocations() { alloc_fail_at_least = static_cast<size_t>(-1); }
};
