#include "platform/message_box.h"

namespace talvox::platform {

namespace {
std::FILE* boxStream = nullptr;
}

std::FILE* RedirectMessageBoxes(std::FILE* stream) {
  std::FILE* previous = boxStream;
  boxStream = stream;
  return previous;
}

int MessageBoxA(void*, const char* text, const char* caption, uint32_t) {
  std::FILE* out = boxStream != nullptr ? boxStream : stderr;
  std::fprintf(out, "%s: %s\n", caption != nullptr ? caption : "", text != nullptr ? text : "");
  std::fflush(out);
  return IDOK;
}

}  // namespace talvox::platform
