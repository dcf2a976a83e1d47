// ReadPeaks on arbitrary bytes over a small loaded document. A refusal
// leaves the document exactly as it was (only the peak rate may change, for
// a file of another kind); an acceptance leaves tables whose counts fit their
// rooms, reproduces itself through SavePeaks, and agrees with LoadTag, which
// reads the same format into host buffers.
//
// Peaks from a file are not demanded to ascend: the library's own external
// marks are not always sorted and hand-made files can hold anything. What is
// demanded is that every later call stays inside the tables.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "talvox.h"

namespace {

using talvox::fuzz::Check;

constexpr int32_t kKindWithRecords = 3;
constexpr int32_t kTagPeaks = 100000;
constexpr int32_t kTagElements = 10000;

int32_t HeaderField(const uint8_t* data, size_t size, size_t offset) {
  if (size < offset + 4) return 0;
  int32_t value;
  std::memcpy(&value, data + offset, 4);
  return value;
}

// LoadTag must accept what ReadPeaks accepted (within its own limits) and
// hand out the same peaks and element bounds.
void CheckAgreesWithLoadTag(const std::string& path, int32_t kind) {
  int32_t* peaks = nullptr;
  const int32_t peakCount = GetFullPeaks(&peaks);
  const int32_t elementCount = GetElementNum();
  if (peakCount > kTagPeaks) return;
  static std::vector<int32_t> tagPeaks(kTagPeaks);
  static std::vector<TvxElement> tagElements(kTagElements);
  int32_t tagPeakCount = -1, tagElementCount = -1;
  Check(LoadTag(path.c_str(), tagPeaks.data(), &tagPeakCount, tagElements.data(),
                &tagElementCount) == 1,
        "LoadTag refused a file ReadPeaks accepted");
  Check(tagPeakCount == peakCount && tagElementCount == elementCount, "LoadTag counts differ");
  Check(peakCount == 0 ||
            std::memcmp(tagPeaks.data(), peaks, 4 * static_cast<size_t>(peakCount)) == 0,
        "LoadTag peaks differ");
  for (int32_t i = 0; i < elementCount; ++i) {
    int32_t start = 0, end = 0;
    GetElementSegment(i, &start, &end);
    Check(tagElements[i].start == start && tagElements[i].end == end, "LoadTag bounds differ");
    if (kind == kKindWithRecords) {
      char desc[104];
      GetElementDesc(i, desc);
      Check(std::strcmp(desc, tagElements[i].desc) == 0, "LoadTag description differs");
    }
  }
}

// Saving what was read and reading it back gives the same document.
void CheckRoundTrip() {
  static talvox::fuzz::DocumentSnapshot read, again;
  talvox::fuzz::SnapshotDocument(read);
  const std::string copy = talvox::fuzz::PrivatePath("copy.peaks");
  const int32_t rate = read.record.peakRate;
  Check(_SavePeaks(copy.c_str(), &talvox::fuzz::DocumentRecord()) == 1,
        "saving what was read failed");
  Check(ReadPeaks(copy.c_str()) == 1, "reading back a saved file failed");
  talvox::fuzz::SnapshotDocument(again);
  Check(again.record.peakRate == rate && again.record.peakCount == read.record.peakCount &&
            again.record.elementCount == read.record.elementCount,
        "counts changed by a round trip");
  Check(again.peaks == read.peaks && again.pitch == read.pitch, "peaks changed by a round trip");
  for (int32_t i = 0; i < read.record.elementCount; ++i) {
    Check(std::memcmp(&again.elements[i], &read.elements[i], sizeof(TvxElement)) == 0,
          "element changed by a round trip");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  talvox::fuzz::SetUpSampleDocument();
  std::string path = talvox::fuzz::WriteInput(data, size, "input.peaks");
  const int32_t kind = HeaderField(data, size, 20);
  static talvox::fuzz::DocumentSnapshot before;
  talvox::fuzz::SnapshotDocument(before);
  if (ReadPeaks(path.c_str()) == 1) {
    talvox::fuzz::CheckDocumentInvariants();
    const TvxDocument& r = talvox::fuzz::DocumentRecord();
    Check(r.segmented == 1, "segmentation flag not set");
    Check(
        r.peakCount == HeaderField(data, size, 32) && r.elementCount == HeaderField(data, size, 28),
        "counts differ from the header");
    Check(talvox::fuzz::PeakRoom() == r.peakCount && talvox::fuzz::PitchRoom() == r.peakCount,
          "tables not sized to the peak count");
    Check(r.peakCount == 0 || r.modifiedPitch[r.peakCount - 1] == 0, "last period not 0");
    CheckAgreesWithLoadTag(path, kind);
    CheckRoundTrip();
    // Later edits stay inside the tables whatever order the peaks came in.
    AddPeak(12345, nullptr);
    int32_t* periods = nullptr;
    if (GetFullModifiedPitch(&periods) > 0) SetModifiedPitch(periods);
    DeletePeak(12345, nullptr, 1.0f);
    if (GetElementNum() > 0) SynthesisSpeech(0, 0, 1999);
    talvox::fuzz::CheckDocumentInvariants();
  } else {
    talvox::fuzz::CheckDocumentUnchanged(before, kind != 2 && kind != kKindWithRecords);
  }
  FreeTalvox();
  FreeWaveFileProc();
  return 0;
}
