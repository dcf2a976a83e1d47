// Damaged peak files: a refused read leaves the document's counts and rooms
// as they were; an accepted one keeps them consistent. LoadTag stays
// within host buffers sized to its limits.
#include <random>

#include "peak_file_images.h"
#include "state/document.h"

namespace talvox::test {
namespace {

class PeakFileMutation : public DocumentTest {};

TEST_F(PeakFileMutation, DamagedFilesKeepTheTablesConsistent) {
  auto original = PeakFileHeaderBytes("Peaks File", 3, 16000, 2, 3);
  PutValues(original, {10, 20, 30, 10, 10});
  PutRecord(original, "SIL", 0, 15);
  PutRecord(original, "a1", 15, 40);
  TempDir dir;
  const std::string path = dir.File("m.peaks");
  std::mt19937 rng(11);
  const DocumentState& doc = TheDocument();
  std::vector<int32_t> hostPeaks(100000);
  std::vector<TvxElement> hostRecords(10000);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> image = original;
    const int flips = std::uniform_int_distribution<int>(0, 3)(rng);
    for (int f = 0; f < flips; ++f) {
      // Mostly the header's numbers, where damage matters most.
      const std::size_t at = rng() % 2 ? 20 + rng() % 16 : rng() % image.size();
      image[at] = static_cast<uint8_t>(rng());
    }
    if (rng() % 4 == 0) image.resize(rng() % (image.size() + 1));
    WriteBytes(path, image);
    const int32_t peaks = doc.record.peakCount;
    const int32_t elements = doc.record.elementCount;
    const int32_t room = doc.peakRoom;
    if (ReadPeaks(path.c_str()) == 0) {
      ASSERT_EQ(peaks, doc.record.peakCount) << round;
      ASSERT_EQ(elements, doc.record.elementCount) << round;
      ASSERT_EQ(room, doc.peakRoom) << round;
    } else {
      ASSERT_GE(doc.record.peakCount, 0);
      ASSERT_EQ(doc.peakRoom, doc.record.peakCount) << round;
      ASSERT_EQ(doc.pitchRoom, doc.record.peakCount) << round;
      ASSERT_LE(doc.record.elementCount, doc.record.elementCapacity) << round;
    }
    // Buffers as large as LoadTag's limits take any file it accepts.
    int32_t tagPeaks = 0, tagElements = 0;
    LoadTag(path.c_str(), hostPeaks.data(), &tagPeaks, hostRecords.data(), &tagElements);
    ASSERT_LE(tagPeaks, 100000);
    ASSERT_LE(tagElements, 10000);
  }
}

}  // namespace
}  // namespace talvox::test
