// Hostile files kept as inputs (tests/regression/inputs/): each reader is
// run on each and must give its documented result; a refusal leaves the
// document and the signal as they were. Inputs the fuzzers found go here too.
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "pitch/external_pitch.h"
#include "test_support.h"

namespace talvox::test {
namespace {

std::string Input(const std::string& name) {
  return std::string(TALVOX_SOURCE_DIR) + "/tests/regression/inputs/" + name;
}

class RegressionInputs : public DocumentTest {
 protected:
  // A signal and an annotation that a refused read must leave alone.
  void SetUp() override {
    DocumentTest::SetUp();
    LoadSignal(VoicedSignal(100, 600, 100, 80, 8000), 1, 16000);
    SetFullSegmentation();
    AddBoundary(400);
    SetElementDesc(0, "ba1");
    for (int32_t p : {150, 230, 310}) AddPeak(p, nullptr);
  }
  static std::vector<int16_t> Signal() {
    int16_t* x = GetDataBuffer(0);
    return std::vector<int16_t>(x, x + GetWaveLength());
  }
  static std::vector<int32_t> Peaks() {
    int32_t* p = nullptr;
    int32_t n = GetFullPeaks(&p);
    return n > 0 ? std::vector<int32_t>(p, p + n) : std::vector<int32_t>();
  }
};

struct WavCase {
  const char* file;
  int32_t result;
  int32_t length;  // when read
  int32_t channels;
};

TEST_F(RegressionInputs, WavFiles) {
  const WavCase cases[] = {
      {"wav_three_channels.wav", 0, 0, 0},
      {"wav_zero_channels.wav", 0, 0, 0},
      {"wav_fmt_size_huge.wav", 0, 0, 0},
      {"wav_list_size_wraps.wav", 0, 0, 0},
      {"wav_8bit.wav", 0, 0, 0},
      {"wav_float.wav", 0, 0, 0},
      {"wav_truncated_header.wav", 0, 0, 0},
      // The data chunk claims 1000 bytes; the file holds 8.
      {"wav_data_longer_than_file.wav", 1, 4, 1},
      // Seven bytes of stereo data: one whole frame.
      {"wav_stereo_odd_data.wav", 1, 1, 2},
  };
  for (const WavCase& c : cases) {
    SCOPED_TRACE(c.file);
    const std::vector<int16_t> before = Signal();
    const TvxWaveHeader header = *GetWaveFileHead();
    ASSERT_EQ(ReadWaveFile(1, Input(c.file).c_str(), 0, 0), c.result);
    if (c.result == 0) {
      EXPECT_EQ(Signal(), before);
      EXPECT_EQ(std::memcmp(GetWaveFileHead(), &header, sizeof header), 0);
      continue;
    }
    EXPECT_EQ(GetWaveLength(), c.length);
    EXPECT_EQ(GetChannels(), c.channels);
    EXPECT_EQ(GetWaveFileHead()->dataSize, uint32_t(2 * c.length * c.channels));
    EXPECT_EQ(GetDataBuffer(0)[0], 1);
    TempDir dir;
    EXPECT_EQ(SaveWaveFile(1, dir.File("back.wav").c_str(), 0, 0), 1);
    EXPECT_EQ(ReadBytes(dir.File("back.wav")).size(), 44u + 2 * c.length * c.channels);
    LoadSignal(VoicedSignal(100, 600, 100, 80, 8000), 1, 16000);
  }
}

struct PeakCase {
  const char* file;
  int32_t result;
  int32_t peaks;     // when read
  int32_t elements;  // when read
};

TEST_F(RegressionInputs, PeakFilesIntoTheDocument) {
  const PeakCase cases[] = {
      {"peaks_negative_peak_count.peaks", 0, 0, 0},
      {"peaks_negative_element_count.peaks", 0, 0, 0},
      {"peaks_truncated.peaks", 0, 0, 0},
      {"peaks_type_unterminated.peaks", 0, 0, 0},
      {"peaks_huge_peak_count.peaks", 0, 0, 0},
      {"peaks_kind4.peaks", 0, 0, 0},
      {"peaks_description_unterminated.peaks", 1, 0, 1},
      {"tag_kind2_unsorted.tag", 1, 3, 1},
  };
  for (const PeakCase& c : cases) {
    SCOPED_TRACE(c.file);
    const std::vector<int32_t> peaks = Peaks();
    const int32_t elements = GetElementNum();
    ASSERT_EQ(ReadPeaks(Input(c.file).c_str()), c.result);
    if (c.result == 0) {
      EXPECT_EQ(Peaks(), peaks);
      EXPECT_EQ(GetElementNum(), elements);
      continue;
    }
    EXPECT_EQ(GetFullPeaks(nullptr), c.peaks);
    EXPECT_EQ(GetElementNum(), c.elements);
  }
}

TEST_F(RegressionInputs, PeakFilesDetails) {
  // The rate alone changes for an unknown kind.
  ASSERT_EQ(ReadPeaks(Input("peaks_kind4.peaks").c_str()), 0);
  int32_t* p = nullptr;
  EXPECT_EQ(GetFullPeaks(&p), 3);
  TempDir dir;
  ASSERT_EQ(_SavePeaks(dir.File("rate.peaks").c_str(), nullptr), 0);
  // A description filling all 104 bytes is cut to 103 characters.
  ASSERT_EQ(ReadPeaks(Input("peaks_description_unterminated.peaks").c_str()), 1);
  char desc[104];
  ASSERT_EQ(GetElementDesc(0, desc), 1);
  EXPECT_EQ(std::string(desc), std::string(103, 'x'));
  int32_t start = 0, end = 0;
  GetElementSegment(0, &start, &end);
  EXPECT_EQ(start, 5);
  EXPECT_EQ(end, 50);
  // Kind 2 peaks out of order: kept as they are, the periods are their
  // (negative) distances, and later edits stay inside the tables.
  ASSERT_EQ(ReadPeaks(Input("tag_kind2_unsorted.tag").c_str()), 1);
  ASSERT_EQ(GetFullPeaks(&p), 3);
  EXPECT_EQ(std::vector<int32_t>(p, p + 3), (std::vector<int32_t>{500, 100, 300}));
  int32_t* periods = nullptr;
  ASSERT_EQ(GetFullModifiedPitch(&periods), 2);
  EXPECT_EQ(periods[0], -400);
  EXPECT_EQ(periods[1], 200);
  char kept[104];
  GetElementDesc(0, kept);
  EXPECT_EQ(std::string(kept), std::string(103, 'x'));  // kind 2 keeps descriptions
  AddPeak(200, nullptr);
  DeletePeak(500, nullptr, 1.0f);
  SynthesisSpeech(0, 0, 700);
  GetElementPeak(0, &p);
}

TEST_F(RegressionInputs, MoreElementsThanTheTableHolds) {
  TempDir dir;
  // Built whole from the type text: GCC 12's -O3 sees a false overflow in
  // an insert into an empty vector.
  const char type[20] = "Peaks File";
  std::vector<uint8_t> file(type, type + sizeof type);
  PutU32(file, 3);
  PutU32(file, 16000);
  PutU32(file, 10001);
  PutU32(file, 0);
  file.resize(file.size() + 112u * 10001, 0);
  WriteBytes(dir.File("big.peaks"), file);
  EXPECT_EQ(ReadPeaks(dir.File("big.peaks").c_str()), 0);
  EXPECT_EQ(GetElementNum(), 2);
  std::vector<int32_t> peaks(8);
  std::vector<TvxElement> elements(10001);
  int32_t peakCount = -1, elementCount = -1;
  EXPECT_EQ(LoadTag(dir.File("big.peaks").c_str(), peaks.data(), &peakCount, elements.data(),
                    &elementCount),
            0);
  EXPECT_EQ(peakCount, -1);
  EXPECT_EQ(elementCount, -1);
}

TEST_F(RegressionInputs, PeakFilesIntoHostBuffers) {
  const PeakCase cases[] = {
      {"peaks_negative_peak_count.peaks", 0, 0, 0},
      {"peaks_negative_element_count.peaks", 0, 0, 0},
      {"peaks_truncated.peaks", 0, 0, 0},
      {"peaks_type_unterminated.peaks", 0, 0, 0},
      {"peaks_huge_peak_count.peaks", 0, 0, 0},
      {"peaks_kind4.peaks", 0, 0, 0},
      {"peaks_description_unterminated.peaks", 1, 0, 1},
      {"tag_kind2_unsorted.tag", 1, 3, 1},
  };
  for (const PeakCase& c : cases) {
    SCOPED_TRACE(c.file);
    std::vector<int32_t> peaks(8, -9);
    std::vector<TvxElement> elements(4);
    std::strcpy(elements[0].desc, "host");
    int32_t peakCount = -1, elementCount = -1;
    ASSERT_EQ(
        LoadTag(Input(c.file).c_str(), peaks.data(), &peakCount, elements.data(), &elementCount),
        c.result);
    if (c.result == 0) {
      EXPECT_EQ(peakCount, -1);
      EXPECT_EQ(elementCount, -1);
      EXPECT_EQ(peaks, std::vector<int32_t>(8, -9));
      continue;
    }
    EXPECT_EQ(peakCount, c.peaks);
    EXPECT_EQ(elementCount, c.elements);
    EXPECT_EQ(peaks[c.peaks], -9);  // nothing past the count
  }
}

// Found by fuzz_peak_road: a kind 2 file whose peaks include INT32_MIN, out
// of order, and an element ending before it starts. Deleting speech moved
// the peaks after the cut by subtracting the cut's length: signed overflow.
TEST_F(RegressionInputs, EditsAfterPeaksAtTheLimits) {
  ASSERT_EQ(ReadPeaks(Input("fuzz_peak_road_int_min_peak.tag").c_str()), 1);
  const int32_t length = GetWaveLength();
  if (CopySpeech(100, 700) == 1) PasteSpeech(50, 50);
  CutSpeech(10, 600);
  PasteSpeech(GetWaveLength() / 2, GetWaveLength() / 2);
  DelSpeech(GetWaveLength() / 3, GetWaveLength() - 1);
  EXPECT_LE(GetWaveLength(), length + 601);
  int32_t* p = nullptr;
  const int32_t n = GetFullPeaks(&p);
  int32_t* periods = nullptr;
  EXPECT_EQ(GetFullModifiedPitch(&periods), n > 0 ? n - 1 : 0);
}

// Positions moved by an edit wrap in 32 bits, as the reader's distances do;
// element bounds saturate.
TEST_F(RegressionInputs, PeaksPastTheLimitsWrapWhenMoved) {
  TempDir dir;
  // Built whole from the type text: GCC 12's -O3 sees a false overflow in
  // an insert into an empty vector.
  const char type[20] = "Peaks File";
  std::vector<uint8_t> file(type, type + sizeof type);
  for (uint32_t v : {3u, 16000u, 2u, 2u}) PutU32(file, v);  // kind, rate, E, P
  for (uint32_t v : {500u, 0x80000000u}) PutU32(file, v);   // peaks
  PutU32(file, 0);                                          // one period
  const auto element = [&](const char* desc, uint32_t start, uint32_t end) {
    std::vector<uint8_t> record(104, 0);
    std::memcpy(record.data(), desc, std::strlen(desc));
    file.insert(file.end(), record.begin(), record.end());
    PutU32(file, start);
    PutU32(file, end);
  };
  element("ma", 0, 400);
  element("SIL", 400, 0x80000000u);  // ends at INT32_MIN
  WriteBytes(dir.File("limits.peaks"), file);
  ASSERT_EQ(ReadPeaks(dir.File("limits.peaks").c_str()), 1);
  ASSERT_EQ(DelSpeech(100, 199), 1);
  int32_t* p = nullptr;
  ASSERT_EQ(GetFullPeaks(&p), 2);
  EXPECT_EQ(p[0], 400);
  EXPECT_EQ(p[1], INT32_MAX - 99);  // INT32_MIN - 100, wrapped
  int32_t* periods = nullptr;
  ASSERT_EQ(GetFullModifiedPitch(&periods), 1);
  for (int32_t i = 0; i < GetElementNum(); ++i) {
    int32_t start = 0, end = 0;
    GetElementSegment(i, &start, &end);
    EXPECT_LE(start, end) << i;
  }
}

struct PointProcessCase {
  const char* file;
  std::vector<float> times;
  std::vector<int32_t> positions;  // at 16000 Hz
};

TEST(RegressionPointProcess, HostileTexts) {
  const PointProcessCase cases[] = {
      // Words of any length are read whole.
      {"pp_long_index_word.pointprocess", {0.5f, 0.25f}, {8000, 4000}},
      {"pp_long_number.pointprocess", {0.5555555555f}, {8888}},
      // Numbers that give no sample position are dropped before snapping.
      {"pp_not_numbers.pointprocess", {NAN, INFINITY, 1e30f, -0.5f, 0.125f}, {-8000, 2000}},
      // The text ends at its first zero byte.
      {"pp_zero_byte.pointprocess", {0.5f}, {8000}},
      // Runs of CR and LF end one line; the last line needs no break.
      {"pp_mixed_breaks.pointprocess", {0.5f, 0.75f, 1.0f}, {8000, 12000, 16000}},
  };
  for (const PointProcessCase& c : cases) {
    SCOPED_TRACE(c.file);
    std::vector<float> times;
    ASSERT_EQ(ReadPointProcess(Input(c.file).c_str(), times), int32_t(c.times.size()));
    for (size_t i = 0; i < times.size(); ++i) {
      if (std::isnan(c.times[i])) {
        EXPECT_TRUE(std::isnan(times[i])) << i;
      } else {
        EXPECT_EQ(times[i], c.times[i]) << i;
      }
    }
    EXPECT_EQ(TimesToSamples(times, 16000), c.positions);
  }
}

}  // namespace
}  // namespace talvox::test
