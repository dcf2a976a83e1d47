// Where a command's output goes. A file is never seen half-written: the
// library and WriteAll put the bytes in a temporary file beside the target
// (".NAME.talvox-tmp-PID-N") and rename it over the target when complete,
// after syncing the data; a replaced file keeps its mode (and owner where
// allowed). A symbolic link is followed and the file it names is replaced in
// its own folder. A device, pipe or other non-regular file is written in
// place, never replaced. "-" is standard output.
#pragma once

#include <memory>
#include <string>

#include "cleanup.h"

namespace tvx {

class PrivateFolder;

class OutputFile {
 public:
  // Checks at once that the target can be written, so an unwritable folder
  // is reported before any work is done.
  explicit OutputFile(std::string target);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // The path to hand to the library's writers.
  const std::string& temp() const { return path_; }
  const std::string& target() const { return target_; }
  // Writes bytes to the output the same way the library does.
  void WriteAll(const std::string& bytes);
  // Finishes the output (standard output: copies the file written there).
  void Commit();

 private:
  std::string target_;
  std::string path_;
  std::unique_ptr<PrivateFolder> staging_;  // for standard output
  int ticket_ = 0;
};

// True once some output goes to standard output, so reports move to
// standard error.
bool StandardOutputTaken();
// Where a command's report goes: standard output, or standard error when
// standard output carries data.
FILE* ReportStream();

// Writes text to a file (or "-") through an OutputFile.
void WriteTextFile(const std::string& path, const std::string& text);

}  // namespace tvx
