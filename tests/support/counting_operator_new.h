// A replacement of the global operator new and delete, in every form the standard library uses,
// that counts allocations while `gCounting` is set. Include it in exactly ONE source file of a
// program: it defines the replacements, which a program may have only once.
#pragma once

#include <cstdlib>
#include <new>

namespace allocation_counter {
inline bool gCounting = false;
inline long gAllocations = 0;

inline void* allocate(std::size_t size) noexcept {
    if (gCounting) ++gAllocations;
    return std::malloc(size ? size : 1);
}
}  // namespace allocation_counter

// GCC takes free() in a replaced delete for a mismatch with new; here both sides are ours.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// Every form is replaced together, so memory from any of them is freed by its match (sanitizers
// check that). Nothing in these programs is over-aligned.
void* operator new(std::size_t size) {
    if (void* p = allocation_counter::allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = allocation_counter::allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocation_counter::allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocation_counter::allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

#pragma GCC diagnostic pop
