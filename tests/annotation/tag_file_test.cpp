#include <cstring>
#include <string>

#include "../pitch/peak_file_images.h"
#include "state/document.h"

namespace talvox::test {
namespace {

constexpr int32_t kUntouched = -77;

class TagFile : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    peaks.assign(16, kUntouched);
    elements.assign(8, TvxElement{});
    for (auto& e : elements) {
      std::strcpy(e.desc, "host");
      e.start = e.end = kUntouched;
    }
  }
  int32_t Load(const std::vector<uint8_t>& image, bool withElements = true,
               bool withElementCount = true) {
    const std::string path = dir.File("t.tag");
    WriteBytes(path, image);
    return LoadTag(path.c_str(), peaks.data(), &peakCount, withElements ? elements.data() : nullptr,
                   withElementCount ? &elementCount : nullptr);
  }
  std::vector<int32_t> peaks;
  std::vector<TvxElement> elements;
  int32_t peakCount = kUntouched;
  int32_t elementCount = kUntouched;
  TempDir dir;
};

TEST_F(TagFile, Kind3WithoutPeaksReadsRecordsFrom36) {
  auto image = PeakFileHeaderBytes("Tag File", 3, 16000, 3, 0);
  PutRecord(image, "a", 0, 10);
  PutRecord(image, "b", 10, 20);
  PutRecord(image, "c", 20, 30);
  ASSERT_EQ(Load(image), 1);
  EXPECT_EQ(peakCount, 0);
  EXPECT_EQ(elementCount, 3);
  EXPECT_EQ(peaks[0], kUntouched);
  EXPECT_STREQ(elements[2].desc, "c");
  EXPECT_EQ(elements[2].end, 30);
  EXPECT_EQ(elements[3].start, kUntouched);
}

TEST_F(TagFile, Kind3RecordsFollowPeaksAndPeriods) {
  auto image = PeakFileHeaderBytes("Peaks File", 3, 16000, 2, 5);
  PutValues(image, {1, 2, 3, 4, 5, 9, 9, 9, 9});
  ASSERT_EQ(image.size(), 72u);
  PutRecord(image, "x", 0, 3);
  ASSERT_EQ(image.size(), 184u);
  PutRecord(image, std::string(104, 'y'), 3, 6);  // no terminating zero
  ASSERT_EQ(Load(image), 1);
  EXPECT_EQ(peakCount, 5);
  EXPECT_EQ(std::vector<int32_t>(peaks.begin(), peaks.begin() + 6),
            (std::vector<int32_t>{1, 2, 3, 4, 5, kUntouched}));
  EXPECT_STREQ(elements[0].desc, "x");
  EXPECT_EQ(std::string(elements[1].desc), std::string(103, 'y'));
  EXPECT_EQ(elements[1].end, 6);
}

TEST_F(TagFile, Kind2GivesBoundsAndKeepsTheHostsTexts) {
  auto image = PeakFileHeaderBytes("Tag File", 2, 16000, 2, 4);
  PutValues(image, {0, 50, 50, 90});
  PutValues(image, {7, 7, 7, 7});
  ASSERT_EQ(image.size(), 68u);
  PutValues(image, {11, 22, 33, 44});
  ASSERT_EQ(Load(image), 1);
  EXPECT_EQ(peakCount, 4);
  EXPECT_EQ(elementCount, 2);
  EXPECT_EQ(peaks[3], 44);
  EXPECT_EQ(elements[1].start, 50);
  EXPECT_EQ(elements[1].end, 90);
  EXPECT_STREQ(elements[1].desc, "host");
}

TEST_F(TagFile, OptionalElementArguments) {
  auto image = PeakFileHeaderBytes("Tag File", 3, 16000, 1, 2);
  PutValues(image, {5, 6, 1});
  PutRecord(image, "z", 0, 9);
  ASSERT_EQ(Load(image, true, false), 1);
  EXPECT_EQ(peakCount, 2);
  EXPECT_EQ(elementCount, kUntouched);
  EXPECT_STREQ(elements[0].desc, "host");
  ASSERT_EQ(Load(image, false, true), 1);
  EXPECT_EQ(elementCount, 1);
  EXPECT_STREQ(elements[0].desc, "host");
}

TEST_F(TagFile, RefusalsWriteNothing) {
  std::vector<uint8_t> unterminated(20, 'T');
  PutValues(unterminated, {3, 16000, 0, 0});
  auto padded = [](std::vector<uint8_t> header, std::size_t body) {
    header.resize(header.size() + body, 0);
    return header;
  };
  const std::vector<std::vector<uint8_t>> refused = {
      PeakFileHeaderBytes("Tag File", 1, 16000, 0, 0),
      PeakFileHeaderBytes("Tag File", 4, 16000, 0, 0),
      PeakFileHeaderBytes("Tags File", 3, 16000, 0, 0),
      unterminated,
      padded(PeakFileHeaderBytes("Tag File", 3, 16000, 1, 2), 12 + 111),
      padded(PeakFileHeaderBytes("Tag File", 2, 16000, -1, 0), 64),
      padded(PeakFileHeaderBytes("Tag File", 3, 16000, 0, -1), 64),
      padded(PeakFileHeaderBytes("Tag File", 2, 16000, 0, 100001), 400004),
      padded(PeakFileHeaderBytes("Tag File", 3, 16000, 10001, 0), 10001 * 112),
      {'T', 'a', 'g'},
  };
  for (std::size_t i = 0; i < refused.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Load(refused[i]), 0);
    EXPECT_EQ(peakCount, kUntouched);
    EXPECT_EQ(elementCount, kUntouched);
    EXPECT_EQ(peaks[0], kUntouched);
    EXPECT_STREQ(elements[0].desc, "host");
  }
  const auto good = PeakFileHeaderBytes("Tag File", 3, 16000, 0, 0);
  const std::string path = dir.File("good.tag");
  WriteBytes(path, good);
  EXPECT_EQ(LoadTag(path.c_str(), nullptr, &peakCount, nullptr, nullptr), 0);
  EXPECT_EQ(LoadTag(path.c_str(), peaks.data(), nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(LoadTag(dir.File("missing").c_str(), peaks.data(), &peakCount, nullptr, nullptr), 0);
  EXPECT_EQ(peakCount, kUntouched);
}

TEST_F(TagFile, LeavesTheDocumentAlone) {
  auto image = PeakFileHeaderBytes("Tag File", 3, 16000, 1, 1);
  PutValues(image, {3});
  PutRecord(image, "q", 0, 9);
  ASSERT_EQ(Load(image), 1);
  EXPECT_EQ(GetElementNum(), 0);
  EXPECT_EQ(TheDocument().record.peakCount, 0);
}

}  // namespace
}  // namespace talvox::test
