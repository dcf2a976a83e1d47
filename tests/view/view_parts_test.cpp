// The editor's building blocks on their own: the request guard, the levels
// of detail against a plain pass over the samples, the spectrogram columns
// against the library's frames, the WAV bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "detail_levels.h"
#include "editor_document.h"
#include "request_guard.h"
#include "spectrogram_columns.h"
#include "test_support.h"
#include "wav_bytes.h"

namespace tvx::view {
namespace {

TEST(RequestGuard, AcceptsOnlyOurHostOriginAndToken) {
  RequestGuard guard(std::string(32, 'a'), 4321);
  const std::string token = "/" + std::string(32, 'a');
  EXPECT_EQ(guard.PageUrl(), "http://127.0.0.1:4321" + token + "/");
  EXPECT_EQ(guard.Refusal(token + "/api/info", "127.0.0.1:4321", "", false), "");
  EXPECT_EQ(guard.Refusal(token + "/", "localhost:4321", "http://localhost:4321", true), "");
  EXPECT_EQ(guard.Inner(token + "/api/info"), "/api/info");
  // Host: the rebinding of a foreign name to 127.0.0.1 shows here.
  for (const char* host : {"", "evil.example:4321", "127.0.0.1", "127.0.0.1:4322", "127.0.0.1:4321.evil", "0.0.0.0:4321"})
    EXPECT_EQ(guard.Refusal(token + "/api/info", host, "", false), "foreign Host") << host;
  for (const char* origin : {"null", "", "http://evil.example", "https://127.0.0.1:4321", "http://127.0.0.1:4322",
                             "http://127.0.0.1:4321/x"})
    EXPECT_EQ(guard.Refusal(token + "/api/info", "127.0.0.1:4321", origin, true), "foreign Origin") << origin;
  for (std::string path : {std::string("/"), std::string("/api/info"), token, token + "b/api/info",
                           "/" + std::string(31, 'a') + "/api/info", "/" + std::string(32, 'b') + "/api/info",
                           std::string("//") + std::string(32, 'a') + "/", "/" + std::string(32, 'A') + "/"})
    EXPECT_EQ(guard.Refusal(path, "127.0.0.1:4321", "", false), "missing or wrong token") << path;
}

TEST(RequestGuard, TokensAreLongAndDifferent) {
  std::string a = NewToken(), b = NewToken();
  EXPECT_EQ(a.size(), 32u);
  EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(a, b);
}

// Columns from the levels equal a direct pass over each column's samples.
TEST(DetailLevels, ColumnsEqualAPassOverTheSamples) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> value(-32768, 32767);
  for (size_t length : {1u, 63u, 64u, 65u, 1000u, 70001u}) {
    std::vector<std::vector<int16_t>> channels(2, std::vector<int16_t>(length));
    for (auto& channel : channels)
      for (auto& s : channel) s = int16_t(value(random));
    DetailLevels levels;
    levels.Build(channels);
    std::uniform_int_distribution<int64_t> position(0, int64_t(length));
    for (int trial = 0; trial < 40; trial++) {
      int64_t a = position(random), b = position(random);
      if (a > b) std::swap(a, b);
      if (a == b) b = std::min<int64_t>(a + 1, length);
      if (a == b) continue;
      int columns = 1 + int(random() % 700);
      auto result = levels.Columns(channels, a, b, columns);
      ASSERT_EQ(result.size(), 2u);
      int64_t count = std::min<int64_t>(columns, b - a);
      for (int c = 0; c < 2; c++) {
        ASSERT_EQ(int64_t(result[c].size()), count);
        for (int64_t k = 0; k < count; k++) {
          int64_t from = a + (b - a) * k / count, to = std::max(from + 1, a + (b - a) * (k + 1) / count);
          auto [low, high] = std::minmax_element(channels[c].begin() + from, channels[c].begin() + to);
          ASSERT_EQ(result[c][k].low, *low) << length << " " << a << " " << b << " " << k;
          ASSERT_EQ(result[c][k].high, *high);
        }
      }
    }
  }
}

TEST(DetailLevels, EmptyRequestsGiveNoColumns) {
  std::vector<std::vector<int16_t>> channels(1, std::vector<int16_t>(100, 5));
  DetailLevels levels;
  levels.Build(channels);
  EXPECT_TRUE(levels.Columns(channels, 10, 10, 5)[0].empty());
  EXPECT_TRUE(levels.Columns(channels, 0, 100, 0)[0].empty());
}

class SpectrogramTest : public talvox::test::DocumentTest {};

// Where every frame has its own column, a column is the library's frame.
TEST_F(SpectrogramTest, ShortStretchesShowTheLibrarysFrames) {
  std::vector<int16_t> signal = talvox::test::VoicedSignal(500, 4000, 500, 123, 9000);
  int64_t from = 1600, to = 1600 + 16 * 50;
  std::vector<uint8_t> columns = SpectrogramColumns(signal.data(), int64_t(signal.size()), from, to, 50);
  ASSERT_EQ(columns.size(), 50u * kSpectrumBins);
  std::vector<uint8_t> frames(size_t(60) * 64);
  int32_t count = _CalculateSpectrum(signal.data() + from, int32_t(to - from + 112), frames.data());
  ASSERT_GE(count, 50);
  EXPECT_TRUE(std::equal(columns.begin(), columns.end(), frames.begin()));
}

TEST_F(SpectrogramTest, LongStretchesSampleWholeFramesAndSilenceStaysBlank) {
  std::vector<int16_t> signal(16000 * 120, 0);
  for (size_t i = 16000 * 60; i < signal.size(); i++) signal[i] = int16_t((i % 40) * 600 - 12000);
  std::vector<uint8_t> columns = SpectrogramColumns(signal.data(), int64_t(signal.size()), 0, int64_t(signal.size()), 200);
  ASSERT_EQ(columns.size(), 200u * kSpectrumBins);
  for (int c = 0; c < 100; c++)
    EXPECT_EQ(*std::max_element(&columns[c * 64], &columns[c * 64 + 64]), 0) << c;
  for (int c = 100; c < 200; c++) EXPECT_GT(*std::max_element(&columns[c * 64], &columns[c * 64 + 64]), 100) << c;
  EXPECT_TRUE(SpectrogramColumns(signal.data(), int64_t(signal.size()), 10, 10, 5).empty());
}

TEST(WavBytes, CanonicalHeaderAndLittleEndianSamples) {
  std::string wav = WavBytes({1, -2, 300, -32768}, 2, 22050);
  ASSERT_EQ(wav.size(), 44u + 8);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
  auto u32 = [&](size_t at) { uint32_t v; std::memcpy(&v, wav.data() + at, 4); return v; };
  auto u16 = [&](size_t at) { uint16_t v; std::memcpy(&v, wav.data() + at, 2); return v; };
  EXPECT_EQ(u32(4), 36u + 8);
  EXPECT_EQ(u16(22), 2);
  EXPECT_EQ(u32(24), 22050u);
  EXPECT_EQ(u32(28), 22050u * 4);
  EXPECT_EQ(u16(32), 4);
  EXPECT_EQ(u32(40), 8u);
  int16_t samples[4];
  std::memcpy(samples, wav.data() + 44, 8);
  EXPECT_EQ(samples[1], -2);
  EXPECT_EQ(samples[3], -32768);
}

}  // namespace
}  // namespace tvx::view

namespace tvx::view {
namespace {

class StereoDocumentTest : public talvox::test::DocumentTest {};

// Both channels come back exactly after undoing a cut and a paste, and redo
// gives the edited signal again.
TEST_F(StereoDocumentTest, UndoRestoresBothChannels) {
  std::vector<int16_t> left = talvox::test::VoicedSignal(800, 4000, 800, 100, 8000);
  std::vector<int16_t> frames;
  for (size_t i = 0; i < left.size(); i++) frames.insert(frames.end(), {left[i], int16_t(i % 300 - 150)});
  talvox::test::LoadSignal(frames, 2, 16000);
  ASSERT_GT(CalculatePitch(GetDataBuffer(0), GetWaveLength(), 16000), 5);
  EditorDocument document({"", "", "stereo", ""});
  auto channels = [] {
    return std::vector<std::vector<int16_t>>{{GetDataBuffer(0), GetDataBuffer(0) + GetWaveLength()},
                                             {GetDataBuffer(1), GetDataBuffer(1) + GetWaveLength()}};
  };
  auto original = channels();
  auto elements = document.Elements();
  document.Cut(1000, 2000);
  auto cut = channels();
  ASSERT_EQ(cut[1].size(), original[1].size() - 1000);
  document.Paste(3000, 3000);
  document.Undo();
  EXPECT_EQ(channels(), cut);
  document.Undo();
  EXPECT_EQ(channels(), original);
  EXPECT_TRUE(document.Elements() == elements);
  document.Redo();
  EXPECT_EQ(channels(), cut);
  EXPECT_EQ(GetChannels(), 2);
  // Saving needs a name.
  EXPECT_THROW(document.SaveAnnotation(), EditRefused);
  EXPECT_THROW(document.SaveWave(), EditRefused);
  EXPECT_THROW(document.SaveTextGrid(), EditRefused);
}

}  // namespace
}  // namespace tvx::view
