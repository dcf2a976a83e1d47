#include "oo_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "format_error.h"

namespace tvx::interop {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

bool StartsNumber(char c) { return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.'; }

}  // namespace

OoTextReader::OoTextReader(const std::string& utf8) : text_(utf8) {}

std::string OoTextReader::Word() {
  size_t begin = at_;
  while (at_ < text_.size() && !IsSpace(text_[at_])) at_++;
  return text_.substr(begin, at_ - begin);
}

OoTextReader::Kind OoTextReader::NextValue() {
  while (at_ < text_.size()) {
    char c = text_[at_];
    if (c == '\n') {
      line_++;
      at_++;
    } else if (IsSpace(c)) {
      at_++;
    } else if (c == '!') {
      while (at_ < text_.size() && text_[at_] != '\n') at_++;
    } else if (c == '"') {
      return Kind::kText;
    } else if (c == '<') {
      return Kind::kFlag;
    } else if (StartsNumber(c)) {
      return Kind::kNumber;
    } else {
      Word();  // a name of the long format
    }
  }
  return Kind::kEnd;
}

void OoTextReader::Fail(Kind found, const std::string& what) {
  if (found == Kind::kEnd) throw FormatError(line_, "the file ends where " + what + " was expected (truncated?)");
  const char* name = found == Kind::kNumber ? "a number" : found == Kind::kText ? "a text in quotes" : "a flag";
  throw FormatError(line_, "expected " + what + ", found " + name);
}

TimeDomain OoTextReader::Domain(const std::string& object) {
  TimeDomain domain;
  domain.xmin = Number("the start time of the " + object);
  domain.xmax = Number("the end time of the " + object);
  if (domain.xmax < domain.xmin) throw FormatError(line(), "the " + object + " ends before it starts");
  return domain;
}

double OoTextReader::Number(const std::string& what) {
  Kind kind = NextValue();
  if (kind != Kind::kNumber) Fail(kind, what + " (a number)");
  valueLine_ = line_;
  std::string word = Word();
  errno = 0;
  char* end = nullptr;
  double value = std::strtod(word.c_str(), &end);
  if (end == word.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(value))
    throw FormatError(line_, "expected " + what + " (a number), found '" + word + "'");
  return value;
}

int64_t OoTextReader::Count(const std::string& what, int64_t limit) {
  double value = Number(what);
  if (value < 0 || value != std::floor(value) || value > double(limit))
    throw FormatError(line_, "expected " + what + " (a whole number from 0 to " + std::to_string(limit) + ")");
  return static_cast<int64_t>(value);
}

std::string OoTextReader::Text(const std::string& what) {
  Kind kind = NextValue();
  if (kind != Kind::kText) Fail(kind, what + " (a text in quotes)");
  valueLine_ = line_;
  int opened = line_;
  std::string value;
  at_++;  // the opening quote
  for (;;) {
    if (at_ >= text_.size()) throw FormatError(opened, "the text of " + what + " that starts here has no closing quote");
    char c = text_[at_++];
    if (c == '"') {
      if (at_ < text_.size() && text_[at_] == '"') {
        value += '"';
        at_++;
        continue;
      }
      break;
    }
    if (c == '\n') line_++;
    value += c;
  }
  if (at_ < text_.size() && !IsSpace(text_[at_]) && text_[at_] != '!') {
    int closed = line_;
    throw FormatError(opened, "the text of " + what + " that starts here closes on line " + std::to_string(closed) +
                                  " and runs on into '" + Word() + "' (a text not closed, or a quote not doubled?)");
  }
  return value;
}

bool OoTextReader::Flag(const std::string& what) {
  Kind kind = NextValue();
  if (kind != Kind::kFlag) Fail(kind, what + " (<exists> or <absent>)");
  valueLine_ = line_;
  std::string word = Word();
  if (word == "<exists>") return true;
  if (word == "<absent>") return false;
  throw FormatError(line_, "expected " + what + " (<exists> or <absent>), found '" + word + "'");
}

void OoTextReader::ExpectHeader(const std::string& objectClass) {
  size_t first = text_.find_first_not_of(" \t\r\n");
  if (first != std::string::npos && text_.compare(first, 12, "ooBinaryFile") == 0)
    throw FormatError(1, "a binary " + objectClass + " file; save it as a text file");
  if (first == std::string::npos || text_.compare(first, 9, "File type") != 0)
    throw FormatError(1, "expected 'File type = \"ooTextFile\"' (is this a " + objectClass + " text file?)");
  std::string type = Text("the file type");
  if (type != "ooTextFile" && type != "ooTextFile short")
    throw FormatError(valueLine_, "expected the file type \"ooTextFile\", found \"" + type + "\"");
  std::string found = Text("the object class");
  std::string name = found.substr(0, found.find(' '));  // a version may follow the name
  if (name != objectClass)
    throw FormatError(valueLine_, "expected a " + objectClass + " file, found the object class \"" + found + "\"");
}

void OoTextReader::ExpectEnd() {
  Kind kind = NextValue();
  if (kind != Kind::kEnd) throw FormatError(line_, "unexpected data after the last item (wrong count?)");
}

}  // namespace tvx::interop

namespace tvx::interop {

std::string ObjectClassOf(const std::string& utf8) {
  size_t first = utf8.find_first_not_of(" \t\r\n");
  if (first == std::string::npos || utf8.compare(first, 9, "File type") != 0) return "";
  try {
    OoTextReader reader(utf8);
    reader.Text("the file type");
    std::string found = reader.Text("the object class");
    return found.substr(0, found.find(' '));
  } catch (const FormatError&) {
    return "";
  }
}

}  // namespace tvx::interop
