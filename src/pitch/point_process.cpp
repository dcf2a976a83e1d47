// Reading the point-process text that pap.exe writes: lines split at CR or
// LF, each scanned as three words and a number; "t [i] = seconds" counts.
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "pitch/external_pitch.h"
#include "pitch/working_files.h"

namespace talvox {

namespace {

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// White space as the C library classifies it; line breaks never reach here.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view NextWord(std::string_view& line) {
  std::size_t start = 0;
  while (start < line.size() && IsBlank(line[start])) ++start;
  std::size_t end = start;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  std::string_view word = line.substr(start, end - start);
  line.remove_prefix(end);
  return word;
}

// A decimal number after optional blanks and sign, as a 32-bit float.
bool ParseNumber(std::string_view rest, float& value) {
  std::size_t start = 0;
  while (start < rest.size() && IsBlank(rest[start])) ++start;
  if (start < rest.size() && rest[start] == '+') ++start;
  const char* first = rest.data() + start;
  const char* last = rest.data() + rest.size();
  if (first != last && *first == '+') return false;
  return std::from_chars(first, last, value).ec == std::errc();
}

void ParseLine(std::string_view line, std::vector<float>& times) {
  std::string_view first = NextWord(line);
  NextWord(line);
  std::string_view third = NextWord(line);
  float value = 0.0f;
  if (first == "t" && third == "=" && ParseNumber(line, value)) times.push_back(value);
}

}  // namespace

void ParsePointProcess(const char* text, std::size_t size, std::vector<float>& times) {
  std::string_view rest(text, strnlen(text, size));
  while (!rest.empty()) {
    std::size_t end = 0;
    while (end < rest.size() && !IsLineBreak(rest[end])) ++end;
    ParseLine(rest.substr(0, end), times);
    rest.remove_prefix(end);
    // Empty lines give nothing, so a run of breaks (CR LF, LF LF) is one end.
    while (!rest.empty() && IsLineBreak(rest.front())) rest.remove_prefix(1);
  }
}

int32_t ReadPointProcess(const char* path, std::vector<float>& times) {
  times.clear();
  int fd = OpenWorkingFileForReading(path);
  if (fd < 0) return 0;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(::fdopen(fd, "rb"), std::fclose);
  if (!file) {
    ::close(fd);
    return 0;
  }
  std::string text;
  char chunk[65536];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) text.append(chunk, got);
  ParsePointProcess(text.data(), text.size(), times);
  return static_cast<int32_t>(times.size());
}

}  // namespace talvox
