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

constexpr size_t kAnnotationInputLimit = 256u << 20;  // bytes; TextGrids of long recordings

// The bytes of a file ("-": standard input), read once with the limit above;
// fails with a one-line reason for a folder, an unopenable file or a file
// over the limit.
std::string ReadTextBytes(const std::string& path, size_t limit = kTextInputLimit);

// Lines of text already read from path (named in messages), without line
// ends; refuses zero bytes and lines over the limit.
std::vector<std::string> SplitTextLines(const std::string& path, const std::string& text,
                                        size_t lineLimit = kTextLineLimit);

// The lines of a text file ("-": standard input), without their line ends.
// Fails with a one-line reason when the file cannot be opened, is a folder,
// holds a zero byte, or passes either limit.
std::vector<std::string> ReadTextLines(const std::string& path, size_t limit = kTextInputLimit,
                                       size_t lineLimit = kTextLineLimit);

}  // namespace tvx
