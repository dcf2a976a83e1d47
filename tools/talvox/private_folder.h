// A folder of this process's own under $TMPDIR (or /tmp), removed with its
// files when it goes out of scope, on a failure and on an interruption. Its
// name carries the process id, so folders of killed runs are recognised and
// removed by the next run.
#pragma once

#include <string>

namespace tvx {

class PrivateFolder {
 public:
  PrivateFolder();
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int ticket_ = 0;
};

// The current folder is this private folder while it lives, so the
// external pitch program's working files stay out of the user's folder and
// apart from other runs.
class WorkingFolder {
 public:
  WorkingFolder();
  ~WorkingFolder();
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

 private:
  PrivateFolder folder_;
  int previous_ = -1;  // the folder to return to, held open
};

}  // namespace tvx
