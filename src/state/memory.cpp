#include "state/memory.h"

#include <cstdio>

namespace talvox {

void OutOfMemory(std::size_t bytes) {
  std::fprintf(stderr, "talvox: out of memory (allocating %zu bytes)\n", bytes);
  std::abort();
}

}  // namespace talvox
