// Building peak and tag file images by hand.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"

namespace talvox::test {

inline std::vector<uint8_t> PeakFileHeaderBytes(const std::string& type, int32_t kind, int32_t rate,
                                                int32_t elements, int32_t peaks) {
  std::vector<uint8_t> out(20, 0);
  std::memcpy(out.data(), type.data(), std::min<std::size_t>(type.size(), 20));
  PutU32(out, static_cast<uint32_t>(kind));
  PutU32(out, static_cast<uint32_t>(rate));
  PutU32(out, static_cast<uint32_t>(elements));
  PutU32(out, static_cast<uint32_t>(peaks));
  return out;
}

inline void PutValues(std::vector<uint8_t>& out, const std::vector<int32_t>& values) {
  for (int32_t v : values) PutU32(out, static_cast<uint32_t>(v));
}

inline void PutRecord(std::vector<uint8_t>& out, const std::string& desc, int32_t start,
                      int32_t end) {
  std::vector<uint8_t> text(104, 0);
  std::memcpy(text.data(), desc.data(), std::min<std::size_t>(desc.size(), 104));
  out.insert(out.end(), text.begin(), text.end());
  PutU32(out, static_cast<uint32_t>(start));
  PutU32(out, static_cast<uint32_t>(end));
}

}  // namespace talvox::test
