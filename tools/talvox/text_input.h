// Small text inputs (contours and the like) read with limits, so a device
// such as /dev/zero or an endless pipe is refused quickly instead of filling
// memory, and a pipe is never waited on for ever (an interruption ends it).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tvx {

constexpr size_t kTextInputLimit = 16u << 20;  // bytes; far above any real contour
constexpr size_t kTextLineLimit = 4096;        // bytes per line

// The lines of a text file ("-": standard input), without their line ends.
// Fails with a one-line reason when the file cannot be opened, is a folder,
// holds a zero byte, or passes either limit.
std::vector<std::string> ReadTextLines(const std::string& path, size_t limit = kTextInputLimit,
                                       size_t lineLimit = kTextLineLimit);

}  // namespace tvx
