// A scripted stand-in for pap.exe: a shell script first on PATH that keeps
// copies of the script and WAV file it was given and answers with a prepared
// point-process text. Each test runs in its own process, so changing the
// current directory and PATH here stays local to the test.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>
#include <sys/stat.h>

#include "test_support.h"

namespace talvox::test {

class FakePap {
 public:
  // reply: the point-process text to write; exitCode: the program's status.
  // With writeReply false the program writes nothing.
  explicit FakePap(const std::string& reply, int exitCode = 0, bool writeReply = true) {
    ::mkdir(Bin().c_str(), 0755);
    ::mkdir(Work().c_str(), 0755);
    WriteText(Capture("reply.txt"), reply);
    std::string script = "#!/bin/sh\n";
    script += "touch '" + Capture("launched") + "'\n";
    script += "cp \"$1\" '" + Capture("seen.psc") + "'\n";
    script += "cp temp.wav '" + Capture("seen.wav") + "' 2>/dev/null\n";
    if (writeReply) {
      script += "out=$(sed -n 's/^\\t\\tWrite to text file\\.\\.\\. //p' \"$1\")\n";
      script += "cat '" + Capture("reply.txt") + "' > \"$out\"\n";
    }
    script += "exit " + std::to_string(exitCode) + "\n";
    WriteText(Bin() + "/pap.exe", script);
    ::chmod((Bin() + "/pap.exe").c_str(), 0755);
    UseAsWorkingDirectory(Bin());
  }

  // The work folder with an empty PATH: no pap.exe can be found.
  static void WithoutProgram(const TempDir& dir) {
    ::setenv("PATH", (dir.path() + "/nothing").c_str(), 1);
    EXPECT_EQ(::chdir(dir.path().c_str()), 0);
  }

  std::string Capture(const std::string& name) const { return dir_.File(name); }
  std::string Work() const { return dir_.File("work"); }
  std::string WorkFile(const std::string& name) const { return Work() + "/" + name; }
  bool Launched() const { return FileExists(Capture("launched")); }
  bool WorkingFilesLeft() const {
    return FileExists(WorkFile("temp.wav")) || FileExists(WorkFile("pitch.psc")) ||
           FileExists(WorkFile("temp.pointprocess"));
  }

  static void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }

 private:
  std::string Bin() const { return dir_.File("bin"); }
  void UseAsWorkingDirectory(const std::string& bin) {
    std::string path = bin + ":/usr/bin:/bin";
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(::chdir(Work().c_str()), 0);
  }

  TempDir dir_;
};

// A point-process text with a header and one "t [i] = time" line per time.
inline std::string PointProcessText(const std::vector<double>& times, const char* lineEnd = "\n") {
  std::string text = "File type = \"ooTextFile\"" + std::string(lineEnd) + "xmin = 0" + lineEnd;
  char line[64];
  for (std::size_t i = 0; i < times.size(); ++i) {
    std::snprintf(line, sizeof line, "t [%zu] = %.9g", i + 1, times[i]);
    text += line;
    text += lineEnd;
  }
  return text;
}

// Straightforward model of the hump areas and the snapping, written from the
// rules: humps are runs of samples > 0, areas summed in tenths, kept in 16
// bits; each position moves to the first largest positive area within
// [R - d/2 + 3, R + d/2 - 3), d the following interval, or the preceding one
// for the last time and where the following one is more than twice the
// (positive) preceding one; repeats of the previous mark are dropped.
inline std::vector<int32_t> ModelMarks(const std::vector<int16_t>& x, const std::vector<int32_t>& r) {
  const int n = static_cast<int>(x.size());
  std::vector<int> area(x.size(), 0);
  for (int i = 0; i < n;) {
    if (x[i] <= 0) { ++i; continue; }
    int top = i;
    long long sum = 0;
    for (; i < n && x[i] > 0; ++i) {
      if (x[i] > x[top]) top = i;
      sum += x[i] / 10;
    }
    area[top] = static_cast<int16_t>(static_cast<uint16_t>(sum & 0xFFFF));
  }
  std::vector<int32_t> marks;
  for (std::size_t i = 0; i < r.size(); ++i) {
    long long d = 0;
    bool hasPeriod = r.size() > 1;
    if (i + 1 < r.size()) d = (long long)r[i + 1] - r[i];
    else if (i > 0) d = (long long)r[i] - r[i - 1];
    if (i > 0 && i + 1 < r.size()) {
      long long before = (long long)r[i] - r[i - 1];
      if (before > 0 && d > 2 * before) d = before;
    }
    int32_t mark = r[i];
    if (hasPeriod) {
      int best = -1, bestArea = 0;
      for (long long p = r[i] - d / 2 + 3; p < r[i] + d / 2 - 3; ++p) {
        if (p < 0 || p >= n) continue;
        if (best < 0) { best = static_cast<int>(p); bestArea = std::max(area[p], 0); }
        else if (area[p] > bestArea) { best = static_cast<int>(p); bestArea = area[p]; }
      }
      if (best >= 0) mark = best;
    }
    if (marks.empty() || marks.back() != mark) marks.push_back(mark);
  }
  return marks;
}

}  // namespace talvox::test
