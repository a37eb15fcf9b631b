// Counts the heap allocations of the program it is linked into. Kept apart from the
// benchmarks, so that the compiler never sees these replacements inlined into their callers.
#include <cstddef>
#include <cstdlib>
#include <new>

std::size_t g_allocations = 0;

void* operator new(std::size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
  std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
