#pragma once
// The bytes the heap has handed out and not taken back, for tests that watch
// memory stay flat over many rounds.

#include <cstddef>
#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator keeps malloc's figures to itself.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace heap_test {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr unsigned memory_rounds = 2000;  // the full count is ten times slower here
#else
inline constexpr unsigned memory_rounds = 10000;
#endif

inline size_t heap_in_use() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

} // namespace heap_test
