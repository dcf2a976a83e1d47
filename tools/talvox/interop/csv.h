// Comma-separated tables (RFC 4180): fields with a comma, a quote or a line
// break are quoted, a quote inside written twice.
#pragma once

#include <string>
#include <vector>

namespace tvx::interop {

struct CsvTable {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  std::vector<int> lines;  // the line each row starts on

  // Index of the column of that name, or -1.
  int Column(const std::string& name) const;
};

// The first record is the header; every row must have as many fields.
// Throws FormatError for an unterminated quote or a row of another width.
CsvTable ParseCsv(const std::string& utf8);

std::string CsvField(const std::string& text);
std::string CsvLine(const std::vector<std::string>& fields);

}  // namespace tvx::interop
