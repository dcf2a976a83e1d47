// Reading a whole file, or ranges of it, with its size known up front.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace talvox {

class InputFile {
 public:
  explicit InputFile(const char* path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool ok() const { return fd_ >= 0; }
  int64_t size() const { return size_; }
  // Reads exactly bytes at offset; false on a short read or an error.
  bool ReadAt(int64_t offset, void* into, std::size_t bytes) const;

 private:
  int fd_ = -1;
  int64_t size_ = 0;
};

// The whole file when it opens and holds at most maxBytes; false otherwise.
bool ReadWholeFile(const char* path, int64_t maxBytes, std::vector<uint8_t>& bytes);

}  // namespace talvox
