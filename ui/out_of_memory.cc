// Replaces the global allocation functions so that a failed allocation
// remembers its size: the fatal error box can then say how much was asked
// for. Linked into the window programs only.
#include <cstdlib>
#include <new>
#include <string>

#include "ui/fatal_error.h"

namespace {

thread_local size_t last_failed_allocation = 0;

}  // namespace

void* operator new(size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* memory = std::malloc(size)) return memory;
    // Give a registered handler its chance to free memory, as the standard
    // allocator does.
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) {
      last_failed_allocation = size;
      throw std::bad_alloc();
    }
    handler();
  }
}

void* operator new[](size_t size) { return ::operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, size_t) noexcept { std::free(memory); }

namespace segjoin {

std::string OutOfMemoryMessage(size_t bytes) {
  return "内存不足：无法分配 " + std::to_string(bytes) + " 字节";
}

void RunOrDieOnOutOfMemory(const std::function<void()>& body) {
  try {
    body();
  } catch (const std::bad_alloc&) {
    FatalError(OutOfMemoryMessage(last_failed_allocation));
  }
}

}  // namespace segjoin
