// Output files are written under a temporary name in their target folder and
// renamed at the end, so a failure or an interruption never leaves a
// half-written file behind.
#pragma once

#include <string>

namespace tvx {

class OutputFile {
 public:
  // Creates the temporary file at once, so an unwritable folder is reported
  // before any work is done.
  explicit OutputFile(std::string target);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& temp() const { return temp_; }
  const std::string& target() const { return target_; }
  // Renames the finished temporary file to the target.
  void Commit();

 private:
  std::string target_;
  std::string temp_;
  bool committed_ = false;
};

// SIGINT, SIGTERM and SIGHUP are noted and acted on at the next
// CheckInterrupted, which throws so that every unfinished temporary file is
// removed on the way out.
void InstallInterruptCleanup();
void CheckInterrupted();

// Writes text to a file through an OutputFile.
void WriteTextFile(const std::string& path, const std::string& text);

}  // namespace tvx
