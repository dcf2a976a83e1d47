// "1 element", "2 elements": counts in the commands' reports.
#pragma once

#include <string>

namespace tvx {

inline std::string Counted(long long count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace tvx
