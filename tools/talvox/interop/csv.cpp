#include "csv.h"

#include "format_error.h"

namespace tvx::interop {

int CsvTable::Column(const std::string& name) const {
  for (size_t i = 0; i < header.size(); i++)
    if (header[i] == name) return static_cast<int>(i);
  return -1;
}

CsvTable ParseCsv(const std::string& utf8) {
  CsvTable table;
  std::vector<std::string> record;
  std::string field;
  bool quoted = false, fieldStarted = false;
  int line = 1, recordLine = 1, quoteLine = 0;
  auto endRecord = [&]() {
    record.push_back(std::move(field));
    field.clear();
    bool blank = record.size() == 1 && record[0].empty();
    if (!blank) {
      if (table.header.empty()) {
        table.header = std::move(record);
      } else {
        if (record.size() != table.header.size())
          throw FormatError(recordLine, "expected " + std::to_string(table.header.size()) + " fields as in the header, found " +
                                            std::to_string(record.size()));
        table.rows.push_back(std::move(record));
        table.lines.push_back(recordLine);
      }
    }
    record.clear();
    fieldStarted = false;
  };
  for (size_t i = 0; i < utf8.size(); i++) {
    char c = utf8[i];
    if (quoted) {
      if (c == '"' && i + 1 < utf8.size() && utf8[i + 1] == '"') {
        field += '"';
        i++;
      } else if (c == '"') {
        quoted = false;
      } else {
        if (c == '\n') line++;
        field += c;
      }
      continue;
    }
    if (c == '"' && !fieldStarted) {
      quoted = fieldStarted = true;
      quoteLine = line;
    } else if (c == '"') {
      throw FormatError(line, "a quote inside an unquoted field (quote the whole field)");
    } else if (c == ',') {
      record.push_back(std::move(field));
      field.clear();
      fieldStarted = false;
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') i++;
      endRecord();
      line++;
      recordLine = line;
    } else {
      field += c;
      fieldStarted = true;
    }
  }
  if (quoted) throw FormatError(quoteLine, "a quoted field that starts here has no closing quote");
  if (!field.empty() || !record.empty()) endRecord();
  if (table.header.empty()) throw FormatError(0, "an empty table (expected a header line)");
  return table;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); i++) line += (i ? "," : "") + CsvField(fields[i]);
  return line + "\n";
}

}  // namespace tvx::interop
