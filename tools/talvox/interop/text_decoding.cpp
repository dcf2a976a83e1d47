#include "text_decoding.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "format_error.h"

namespace tvx::interop {
namespace {

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string FromUtf16(const std::string& bytes, size_t begin, bool bigEndian) {
  if ((bytes.size() - begin) % 2 != 0) throw FormatError(0, "UTF-16 text with an odd number of bytes (truncated?)");
  auto unit = [&](size_t at) {
    unsigned char first = static_cast<unsigned char>(bytes[at]), second = static_cast<unsigned char>(bytes[at + 1]);
    return static_cast<uint32_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
  };
  std::string out;
  out.reserve(bytes.size() / 2);
  int line = 1;
  for (size_t at = begin; at < bytes.size(); at += 2) {
    uint32_t code = unit(at);
    if (code >= 0xD800 && code <= 0xDBFF) {
      uint32_t low = at + 3 < bytes.size() ? unit(at + 2) : 0;
      if (low < 0xDC00 || low > 0xDFFF) throw FormatError(line, "a UTF-16 surrogate without its partner");
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      at += 2;
    } else if (code >= 0xDC00 && code <= 0xDFFF) {
      throw FormatError(line, "a UTF-16 surrogate without its partner");
    }
    if (code == '\n') line++;
    AppendUtf8(out, code);
  }
  return out;
}

bool IsUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : 99;
    if (extra == 99 || i + extra >= text.size() + (extra == 0 ? 1 : 0)) return false;
    for (size_t k = 1; k <= extra; k++)
      if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) return false;
    i += extra + 1;
  }
  return true;
}

std::string FromLatin1(const std::string& bytes) {
  std::string out;
  for (char c : bytes) AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

void RefuseNul(const std::string& text) {
  size_t nul = text.find('\0');
  if (nul == std::string::npos) return;
  int line = 1;
  for (size_t i = 0; i < nul; i++) line += text[i] == '\n';
  throw FormatError(line, "a NUL character (is this a binary file?)");
}

}  // namespace

std::string DecodeText(const std::string& bytes) {
  auto startsWith = [&](std::initializer_list<unsigned char> mark) {
    if (bytes.size() < mark.size()) return false;
    size_t i = 0;
    for (unsigned char c : mark)
      if (static_cast<unsigned char>(bytes[i++]) != c) return false;
    return true;
  };
  std::string text;
  if (startsWith({0xEF, 0xBB, 0xBF}))
    text = bytes.substr(3);
  else if (startsWith({0xFF, 0xFE}))
    text = FromUtf16(bytes, 2, false);
  else if (startsWith({0xFE, 0xFF}))
    text = FromUtf16(bytes, 2, true);
  else
    text = IsUtf8(bytes) ? bytes : FromLatin1(bytes);
  RefuseNul(text);
  return text;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::string reason = std::strerror(errno);
    if (!reason.empty()) reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
    throw FormatError(0, reason);
  }
  std::ostringstream bytes;
  bytes << file.rdbuf();
  if (file.bad()) throw FormatError(0, "read error");
  return bytes.str();
}

std::string ExactNumber(double value) {
  char text[40];
  for (int digits = 15; digits <= 17; digits++) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  return text;
}

}  // namespace tvx::interop
