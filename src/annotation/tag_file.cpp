#include "annotation/tag_file.h"

#include <algorithm>

#include "pitch/peak_file_format.h"

namespace talvox {

int32_t LoadTagFile(const char* path, int32_t* peaks, int32_t* peakCount, TvxElement* elements,
                    int32_t* elementCount) {
  if (peaks == nullptr || peakCount == nullptr) return 0;
  InputFile file(path);
  PeakFileHeader header;
  if (!file.ok() || !ReadPeakFileHeader(file, header) || !HasPeakFileType(header) ||
      !IsReadableKind(header.kind)) {
    return 0;
  }
  if (header.peakCount > kMaxTagPeaks || header.elementCount > kMaxTagElements) return 0;
  PeakFileBody body;
  if (!ReadPeakFileBody(file, header, body)) return 0;

  if (elementCount) *elementCount = header.elementCount;
  *peakCount = header.peakCount;
  std::copy(body.peaks.begin(), body.peaks.end(), peaks);
  if (elements && elementCount) {
    for (std::size_t i = 0; i < body.elements.size(); ++i) {
      if (header.kind == kKindWithRecords) {
        elements[i] = body.elements[i];
      } else {
        // Kind 2 has no descriptions: the host's texts stay.
        elements[i].start = body.elements[i].start;
        elements[i].end = body.elements[i].end;
      }
    }
  }
  return 1;
}

}  // namespace talvox
