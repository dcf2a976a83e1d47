// The tiers of a user's TextGrid edited as the signal is: cut, copy, delete
// and paste in samples, so tiers the library does not hold move with the
// samples like its elements and marks do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "textgrid.h"

namespace tvx::interop {

class TierEditor {
 public:
  // Boundaries and points become the nearest samples of rate.
  TierEditor(const TextGrid& grid, int rate, int64_t length);

  // Samples a..b, both included, as the library's edits take them.
  void Copy(int64_t a, int64_t b);
  void Delete(int64_t a, int64_t b);
  void Cut(int64_t a, int64_t b) {
    Copy(a, b);
    Delete(a, b);
  }
  // Inserts the last copy before sample at.
  void Paste(int64_t at);

  // The tiers now; tier i keeps its name and class.
  TextGrid Result() const;

 private:
  struct Span {
    int64_t start, end;
    std::string text;
  };
  struct Mark {
    int64_t at;
    std::string text;
  };
  struct EditedTier {
    const Tier* source;
    std::vector<Span> spans;  // interval tiers
    std::vector<Mark> marks;  // point tiers
  };
  std::vector<EditedTier> tiers_;
  std::vector<EditedTier> clipboard_;
  int64_t clipboardLength_ = 0;
  int rate_;
  int64_t length_;
};

}  // namespace tvx::interop
