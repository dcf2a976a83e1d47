#include <cstring>

#include "state/clipboard.h"
#include "state/document.h"
#include "test_support.h"

namespace talvox::test {
namespace {

TEST(Lifecycle, InitGivesAnEmptyZeroedDocument) {
  InitTalvox();
  const DocumentState& doc = TheDocument();
  EXPECT_EQ(doc.record.elementCapacity, 10000);
  EXPECT_EQ(doc.record.elementCount, 0);
  EXPECT_EQ(doc.record.peakCount, 0);
  EXPECT_EQ(doc.record.segmented, 0);
  EXPECT_EQ(doc.record.modifiedPitch, nullptr);
  EXPECT_EQ(doc.record.spectrum, nullptr);
  EXPECT_EQ(doc.peakRoom, 100000);
  const auto* bytes = reinterpret_cast<const unsigned char*>(doc.record.elements);
  for (size_t i = 0; i < 10000 * sizeof(TvxElement); ++i) ASSERT_EQ(bytes[i], 0) << i;
  FreeTalvox();
}

TEST(Lifecycle, FreeTwiceAndBeforeInitLeavesAZeroRecord) {
  FreeTalvox();
  InitTalvox();
  FreeTalvox();
  FreeTalvox();
  const DocumentState& doc = TheDocument();
  TvxDocument zero{};
  EXPECT_EQ(std::memcmp(&doc.record, &zero, sizeof zero), 0);
  EXPECT_EQ(doc.output, nullptr);
  EXPECT_EQ(doc.energy, nullptr);
  EXPECT_EQ(doc.outputLength, 0);
  EXPECT_EQ(doc.energyLength, 0);
}

TEST(Lifecycle, InitTwiceStartsAFreshDocument) {
  InitTalvox();
  TheDocument().record.elementCount = 3;
  InitTalvox();  // releases the first tables (LeakSanitizer would see a leak)
  EXPECT_EQ(TheDocument().record.elementCount, 0);
  FreeTalvox();
}

TEST(Lifecycle, FreeTalvoxLeavesTheClipboard) {
  SpeechClipboard& clip = TheClipboard();
  clip.sampleCount = 5;
  clip.channel[0] = static_cast<int16_t*>(std::malloc(10));
  InitTalvox();
  FreeTalvox();
  EXPECT_EQ(clip.sampleCount, 5);
  EXPECT_NE(clip.channel[0], nullptr);
  FreeSpeechBackup();
  EXPECT_EQ(clip.channel[0], nullptr);
  EXPECT_EQ(clip.sampleCount, 0);
}

TEST(Lifecycle, FreeMemReleasesLibraryBlocksAndIgnoresNull) {
  FreeMem(nullptr);
  FreeMem(std::malloc(16));
}

}  // namespace
}  // namespace talvox::test
