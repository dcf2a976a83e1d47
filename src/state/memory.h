// Allocation helpers: every block the library hands out or keeps comes from
// malloc/realloc, so FreeMem and the host can release it with free().
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace talvox {

// Aborts with a message: the interfaces that allocate have no way to report
// the failure, and going on would write through a null pointer.
[[noreturn]] void OutOfMemory(std::size_t bytes);

// realloc for count elements of T; count 0 releases the block and returns null.
template <typename T>
T* Reallocate(T* block, std::size_t count) {
  if (count == 0) {
    std::free(block);
    return nullptr;
  }
  if (count > SIZE_MAX / sizeof(T)) OutOfMemory(SIZE_MAX);
  void* grown = std::realloc(block, count * sizeof(T));
  if (grown == nullptr) OutOfMemory(count * sizeof(T));
  return static_cast<T*>(grown);
}

// Zeroed allocation of count elements of T (at least one byte).
template <typename T>
T* AllocateZeroed(std::size_t count) {
  void* block = std::calloc(count == 0 ? 1 : count, sizeof(T));
  if (block == nullptr) OutOfMemory(count * sizeof(T));
  return static_cast<T*>(block);
}

template <typename T>
void Release(T*& block) {
  std::free(block);
  block = nullptr;
}

}  // namespace talvox
