// The peak-file layout shared by the document's reader and writer and by the
// tag-file loader: a 36-byte header (type text, kind, peak rate, element
// count, peak count) and a body whose arrangement depends on the kind.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/input_file.h"
#include "talvox.h"

namespace talvox {

constexpr int64_t kPeakFileHeaderBytes = 36;
constexpr int kPeakFileTypeBytes = 20;
// Kind 3: peaks, modified pitch, whole element records (written and read).
constexpr int32_t kKindWithRecords = 3;
// Kind 2: element bounds, an unused block of pairs, peaks (read only).
constexpr int32_t kKindWithBounds = 2;
constexpr const char* kPeaksFileType = "Peaks File";
constexpr const char* kTagFileType = "Tag File";

struct PeakFileHeader {
  char type[kPeakFileTypeBytes];
  int32_t kind;
  int32_t peakRate;
  int32_t elementCount;
  int32_t peakCount;
};
static_assert(sizeof(PeakFileHeader) == kPeakFileHeaderBytes, "on-disk header layout");

struct PeakFileBody {
  std::vector<int32_t> peaks;
  std::vector<int32_t> modifiedPitch;  // kind 3: peak count - 1 values
  // Kind 3: whole records; kind 2: only start and end are meaningful.
  std::vector<TvxElement> elements;
};

// False when the file is shorter than the header.
bool ReadPeakFileHeader(const InputFile& file, PeakFileHeader& header);
// "Peaks File" or "Tag File", zero-terminated within the 20 bytes.
bool HasPeakFileType(const PeakFileHeader& header);
bool IsReadableKind(int32_t kind);
// Reads the body of a kind 2 or 3 file; false for negative counts or a file
// shorter than the header announces. Descriptions are made zero-terminated.
bool ReadPeakFileBody(const InputFile& file, const PeakFileHeader& header, PeakFileBody& body);

}  // namespace talvox
