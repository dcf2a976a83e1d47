// Point-process text files: the pulse times that pitch programs write,
// long or short text format.
#pragma once

#include <string>
#include <vector>

#include "oo_text_writer.h"

namespace tvx::interop {

struct PointProcess {
  double xmin = 0, xmax = 0;
  std::vector<double> times;
  std::vector<int> lines;  // the line of each time, for later complaints
};

// Throws FormatError for a malformed file and times that do not ascend or
// lie outside xmin..xmax.
PointProcess ParsePointProcess(const std::string& utf8);
std::string WritePointProcess(const PointProcess& points, TextFormat format);

}  // namespace tvx::interop
