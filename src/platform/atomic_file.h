// Writing a file so that readers never see it half-written: the bytes go to a
// temporary file in the same folder, which replaces the target only once
// every write succeeded. On any failure the temporary file is removed and an
// existing file of that name stays as it was. A path naming a symbolic link
// replaces the file it points to; a device or pipe is written in place; a
// folder is refused. A replaced file keeps its mode (and owner where
// allowed); the data is synced before the rename.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace talvox {

// Marks the temporary files of a write in progress; see HiddenSibling.
inline constexpr char kTempMarker[] = ".talvox-tmp-";

class AtomicFile {
 public:
  explicit AtomicFile(const char* path);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // False once creation or any write failed; later writes are ignored.
  bool ok() const { return fd_ >= 0; }
  void Write(const void* data, std::size_t bytes);
  void WriteZeros(std::size_t bytes);
  // Flushes, closes and renames into place; true when the file is complete.
  bool Commit();

 private:
  void OpenInPlace();
  void OpenTemporary();
  void Flush();
  void Fail();

  std::string path_;
  std::string temp_;
  int fd_ = -1;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
};

}  // namespace talvox
