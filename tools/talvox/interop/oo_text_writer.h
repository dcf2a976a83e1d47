// Writing the object text files in the long format ("name = value" lines,
// indented) or the short one (bare values).
#pragma once

#include <string>
#include <utility>

#include "text_decoding.h"

namespace tvx::interop {

enum class TextFormat { kLong, kShort };

// Text between double quotes with each quote doubled.
std::string QuotedText(const std::string& text);

// Writes "name = value" lines in the long format and bare values in the
// short one, indented as the long format's readers show it.
class ObjectWriter {
 public:
  explicit ObjectWriter(TextFormat format) : long_(format == TextFormat::kLong) {}
  void Header(const std::string& objectClass) {
    out_ += "File type = \"ooTextFile\"\nObject class = " + QuotedText(objectClass) + "\n\n";
  }
  void Value(int indent, const std::string& name, const std::string& value) {
    if (long_)
      out_ += std::string(size_t(indent) * 4, ' ') + name + " = " + value + " \n";
    else
      out_ += value + "\n";
  }
  void Number(int indent, const std::string& name, double value) { Value(indent, name, ExactNumber(value)); }
  void Count(int indent, const std::string& name, size_t value) { Value(indent, name, std::to_string(value)); }
  void Text(int indent, const std::string& name, const std::string& value) { Value(indent, name, QuotedText(value)); }
  void Label(int indent, const std::string& label) {
    if (long_) out_ += std::string(size_t(indent) * 4, ' ') + label + "\n";
  }
  void Flag(const std::string& name, bool exists) {
    const char* flag = exists ? "<exists>" : "<absent>";
    out_ += long_ ? name + " " + flag + " \n" : std::string(flag) + "\n";
  }
  std::string Finish() { return std::move(out_); }

 private:
  bool long_;
  std::string out_;
};

}  // namespace tvx::interop
