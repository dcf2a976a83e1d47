// A one-line progress bar on standard error, drawn only when standard error
// is a terminal (so logs and pipes stay clean).
#pragma once

#include <chrono>
#include <string>

namespace tvx {

class ProgressBar {
 public:
  // An empty unit shows the percentage alone (for stages of one file).
  ProgressBar(double total, std::string unit);
  ~ProgressBar();
  // done of total; note is shown after the counts (e.g. "2 failed").
  void Update(double done, const std::string& note);
  void SetTotal(double total) { total_ = total; }
  // Clears the bar so the next line starts clean.
  void Finish();
  double ElapsedSeconds() const;

 private:
  double total_;
  std::string unit_;
  bool enabled_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
};

std::string FormatDuration(double seconds);  // "1:02:03" or "2:03"

}  // namespace tvx
