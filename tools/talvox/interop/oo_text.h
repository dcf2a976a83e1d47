// The object text files of phonetics programs (TextGrid, PitchTier,
// PointProcess), long and short alike. A reader takes only numbers, texts in
// double quotes (a quote inside written twice) and flags (<exists>); the
// names of the long format ("xmin =", "intervals [3]:") and comments from
// "!" to the end of a line are passed over, so both formats read the same.
#pragma once

#include <cstdint>
#include <string>

namespace tvx::interop {

// Counts above this are damage, not data (only keeps a damaged count from
// looking plausible).
constexpr int64_t kMostItems = 1000000000;

struct TimeDomain {
  double xmin = 0, xmax = 0;
};

class OoTextReader {
 public:
  explicit OoTextReader(const std::string& utf8);

  // Reads the file type and object class; throws unless it is a text file
  // of objectClass.
  void ExpectHeader(const std::string& objectClass);

  double Number(const std::string& what);
  // A whole number in 0..limit.
  int64_t Count(const std::string& what, int64_t limit);
  std::string Text(const std::string& what);
  // An object's start and end times; throws when it ends before it starts.
  TimeDomain Domain(const std::string& object);
  bool Flag(const std::string& what);  // <exists> is true, <absent> false
  // The line of the value read last (for later checks to point at).
  int line() const { return valueLine_; }
  // Throws unless only names, comments and white space remain.
  void ExpectEnd();

 private:
  enum class Kind { kNumber, kText, kFlag, kEnd };
  Kind NextValue();  // skips to the next value; leaves at_ on its first character
  [[noreturn]] void Fail(Kind found, const std::string& what);
  std::string Word();  // the characters up to white space

  const std::string& text_;
  size_t at_ = 0;
  int line_ = 1;
  int valueLine_ = 1;
};

}  // namespace tvx::interop

namespace tvx::interop {

// The object class of an object text file ("TextGrid", "PitchTier", ...),
// or "" when the text is not one.
std::string ObjectClassOf(const std::string& utf8);

}  // namespace tvx::interop
