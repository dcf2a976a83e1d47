// Fills an element table in order: silences get the description "SIL", and
// a full table lets its last element run to the signal's end.
#pragma once

#include <cstdint>
#include <cstring>

#include "talvox.h"

namespace talvox {

class ElementWriter {
 public:
  static constexpr char kSilence[4] = {'S', 'I', 'L', '\0'};

  ElementWriter(TvxElement* elements, int32_t capacity, int32_t length)
      : elements_(elements), capacity_(capacity), length_(length) {}
  void Add(int32_t start, int32_t end, bool silence) {
    if (count_ == capacity_) {
      elements_[capacity_ - 1].end = length_;
      return;
    }
    TvxElement& element = elements_[count_++];
    if (silence) std::memcpy(element.desc, kSilence, sizeof kSilence);
    element.start = start;
    element.end = end;
  }
  int32_t count() const { return count_; }

 private:
  TvxElement* elements_;
  int32_t capacity_;
  int32_t length_;
  int32_t count_ = 0;
};

}  // namespace talvox
