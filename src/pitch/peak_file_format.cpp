#include "pitch/peak_file_format.h"

#include <cstring>

namespace talvox {

namespace {
constexpr int64_t kPairBytes = 8;
constexpr int64_t kValueBytes = 4;
constexpr int64_t kRecordBytes = sizeof(TvxElement);

bool TypeIs(const PeakFileHeader& header, const char* type) {
  return std::strcmp(header.type, type) == 0;
}

template <typename T>
bool ReadArray(const InputFile& file, int64_t offset, std::vector<T>& into, int64_t count) {
  into.resize(static_cast<std::size_t>(count));
  return count == 0 || file.ReadAt(offset, into.data(), into.size() * sizeof(T));
}

// Body size announced by the header, checked against the file before any
// allocation, so a lying header cannot make the reader allocate wildly.
int64_t AnnouncedBodyBytes(const PeakFileHeader& header) {
  const int64_t peaks = header.peakCount;
  const int64_t elements = header.elementCount;
  if (header.kind == kKindWithRecords) {
    const int64_t peakBytes = peaks > 0 ? (2 * peaks - 1) * kValueBytes : 0;
    return peakBytes + elements * kRecordBytes;
  }
  return 2 * elements * kPairBytes + peaks * kValueBytes;
}

bool ReadRecords(const InputFile& file, int64_t offset, int32_t count, PeakFileBody& body) {
  if (!ReadArray(file, offset, body.elements, count)) return false;
  for (TvxElement& element : body.elements) element.desc[sizeof element.desc - 1] = '\0';
  return true;
}

bool ReadBounds(const InputFile& file, int64_t offset, int32_t count, PeakFileBody& body) {
  std::vector<int32_t> pairs;
  if (!ReadArray(file, offset, pairs, 2 * int64_t{count})) return false;
  body.elements.assign(static_cast<std::size_t>(count), TvxElement{});
  for (int32_t i = 0; i < count; ++i) {
    body.elements[i].start = pairs[2 * static_cast<std::size_t>(i)];
    body.elements[i].end = pairs[2 * static_cast<std::size_t>(i) + 1];
  }
  return true;
}
}  // namespace

bool ReadPeakFileHeader(const InputFile& file, PeakFileHeader& header) {
  return file.size() >= kPeakFileHeaderBytes && file.ReadAt(0, &header, sizeof header);
}

bool HasPeakFileType(const PeakFileHeader& header) {
  if (std::memchr(header.type, '\0', sizeof header.type) == nullptr) return false;
  return TypeIs(header, kPeaksFileType) || TypeIs(header, kTagFileType);
}

bool IsReadableKind(int32_t kind) { return kind == kKindWithRecords || kind == kKindWithBounds; }

bool ReadPeakFileBody(const InputFile& file, const PeakFileHeader& header, PeakFileBody& body) {
  const int32_t peaks = header.peakCount;
  const int32_t elements = header.elementCount;
  if (peaks < 0 || elements < 0 || !IsReadableKind(header.kind)) return false;
  if (kPeakFileHeaderBytes + AnnouncedBodyBytes(header) > file.size()) return false;

  int64_t offset = kPeakFileHeaderBytes;
  if (header.kind == kKindWithRecords) {
    if (peaks > 0) {
      if (!ReadArray(file, offset, body.peaks, peaks)) return false;
      offset += peaks * kValueBytes;
      if (!ReadArray(file, offset, body.modifiedPitch, peaks - 1)) return false;
      offset += (peaks - 1) * kValueBytes;
    }
    return ReadRecords(file, offset, elements, body);
  }
  if (!ReadBounds(file, offset, elements, body)) return false;
  offset += 2 * elements * kPairBytes;
  return ReadArray(file, offset, body.peaks, peaks);
}

}  // namespace talvox
