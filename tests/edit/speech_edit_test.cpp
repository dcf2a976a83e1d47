// Copy, delete, cut and paste: the worked cases on a document of 300
// samples with elements a, b, c; round trips; and refusals that change
// nothing.
#include <random>
#include <vector>

#include "edit_fixture.h"

namespace talvox::test {
namespace {

std::vector<int16_t> Numbered(int32_t length, int32_t offset = 0) {
  std::vector<int16_t> x(static_cast<size_t>(length));
  for (int32_t i = 0; i < length; ++i) x[i] = static_cast<int16_t>(offset + i);
  return x;
}

std::vector<int16_t> Without(std::vector<int16_t> x, int32_t from, int32_t to) {
  x.erase(x.begin() + from, x.begin() + to + 1);
  return x;
}

class SpeechEdit : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    signal_ = Numbered(300);
    LoadSignal(signal_, 1, 16000);
    SetSegments({{"a", 0, 100}, {"b", 100, 200}, {"c", 200, 300}});
  }
  std::vector<int16_t> signal_;
};

TEST_F(SpeechEdit, CopyTakesEitherOrder) {
  ASSERT_EQ(CopySpeech(250, 150), 1);
  const SpeechClipboard& clip = TheClipboard();
  ASSERT_EQ(clip.sampleCount, 101);
  ASSERT_EQ(clip.elementCount, 2);
  EXPECT_STREQ(clip.elements[0].desc, "b");
  EXPECT_EQ(clip.elements[0].start, 0);
  EXPECT_EQ(clip.elements[0].end, 50);
  EXPECT_STREQ(clip.elements[1].desc, "c");
  EXPECT_EQ(clip.elements[1].start, 50);
  EXPECT_EQ(clip.elements[1].end, 100);
  EXPECT_EQ(std::vector<int16_t>(clip.channel[0], clip.channel[0] + 101),
            std::vector<int16_t>(signal_.begin() + 150, signal_.begin() + 251));
  EXPECT_EQ(clip.channel[1], nullptr);
  const Snapshot reversed = Take();
  ASSERT_EQ(CopySpeech(150, 250), 1);
  EXPECT_EQ(Take(), reversed);
  EXPECT_EQ(Channel(0), signal_);  // the document is unchanged
}

TEST_F(SpeechEdit, DeleteAcrossABoundary) {
  ASSERT_EQ(DelSpeech(150, 250), 1);
  EXPECT_EQ(GetWaveLength(), 199);
  EXPECT_EQ(Segments(), (std::vector<Segment>{{"a", 0, 100}, {"c", 100, 199}}));
  EXPECT_EQ(Channel(0), Without(signal_, 150, 250));
}

TEST_F(SpeechEdit, DeleteInsideAnElement) {
  ASSERT_EQ(DelSpeech(130, 120), 1);
  EXPECT_EQ(GetWaveLength(), 289);
  EXPECT_EQ(Segments(), (std::vector<Segment>{{"a", 0, 100}, {"b", 100, 189}, {"c", 189, 289}}));
}

TEST_F(SpeechEdit, PasteSplitsTheElementAtTheInsertion) {
  ASSERT_EQ(CopySpeech(250, 150), 1);
  ASSERT_EQ(PasteSpeech(50, 50), 1);
  EXPECT_EQ(GetWaveLength(), 401);
  EXPECT_EQ(Segments(), (std::vector<Segment>{{"a", 0, 50},
                                              {"b", 50, 100},
                                              {"c", 100, 150},
                                              {"a", 150, 201},
                                              {"b", 201, 301},
                                              {"c", 301, 401}}));
  std::vector<int16_t> expected = signal_;
  expected.insert(expected.begin() + 50, signal_.begin() + 150, signal_.begin() + 251);
  EXPECT_EQ(Channel(0), expected);
}

TEST_F(SpeechEdit, PasteAtTheStartAndAtTheEnd) {
  ASSERT_EQ(CopySpeech(150, 250), 1);
  ASSERT_EQ(PasteSpeech(0, 0), 1);
  EXPECT_EQ(Segments(),
            (std::vector<Segment>{
                {"b", 0, 50}, {"c", 50, 100}, {"a", 100, 201}, {"b", 201, 301}, {"c", 301, 401}}));
  TearDown();
  SetUp();
  ASSERT_EQ(CopySpeech(150, 250), 1);
  ASSERT_EQ(PasteSpeech(300, 300), 1);
  EXPECT_EQ(GetWaveLength(), 401);
  const std::vector<Segment> s = Segments();
  EXPECT_EQ(s.back(), (Segment{"c", 400, 401}));
  EXPECT_EQ(s[s.size() - 2], (Segment{"c", 350, 400}));
}

TEST_F(SpeechEdit, DeleteKeepsPeaksAndPeriodsInStep) {
  SetPeaks({50, 150, 250}, {100, 100});
  ASSERT_EQ(DelSpeech(100, 199), 1);
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{50, 150}));
  EXPECT_EQ(Periods(), (std::vector<int32_t>{100}));

  TearDown();
  SetUp();
  SetPeaks({50, 150, 250}, {100, 100});
  ASSERT_EQ(DelSpeech(60, 99), 1);
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{50, 110, 210}));
  EXPECT_EQ(Periods(), (std::vector<int32_t>{60, 100}));
}

TEST_F(SpeechEdit, PasteWithoutPeaksMovesTheLaterPeaks) {
  ASSERT_EQ(CopySpeech(0, 9), 1);  // no peaks in there yet
  SetPeaks({50, 150, 250}, {100, 100});
  ASSERT_EQ(PasteSpeech(150, 150), 1);
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{50, 160, 260}));
  EXPECT_EQ(Periods(), (std::vector<int32_t>{110, 100}));
}

TEST_F(SpeechEdit, PastedPeaksKeepTheirPeriodsAndTheSeamsAreMeasured) {
  SetPeaks({50, 120, 150, 250}, {70, 30, 100});
  ASSERT_EQ(CopySpeech(110, 160), 1);  // peaks 120 and 150, periods 30, 100
  ASSERT_EQ(PasteSpeech(60, 60), 1);   // after 50, before 120
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{50, 70, 100, 171, 201, 301}));
  // 50 -> 70 measured, 70 -> 100 copied, 100 -> 171 measured, the rest kept.
  EXPECT_EQ(Periods(), (std::vector<int32_t>{20, 30, 71, 30, 100}));
}

TEST_F(SpeechEdit, CutOfAnEmptySelectionIsRefused) {
  const Snapshot before = Take();
  EXPECT_EQ(CutSpeech(120, 120), 0);
  EXPECT_EQ(CopySpeech(5, 5), 0);
  EXPECT_EQ(DelSpeech(5, 5), 0);
  EXPECT_EQ(PasteSpeech(5, 5), 0);  // empty clipboard
  EXPECT_EQ(Take(), before);
}

TEST_F(SpeechEdit, CutThenPasteRestoresTheSignalAndTheAnnotation) {
  SetPeaks({50, 150, 250}, {100, 100});
  std::vector<int16_t> x(300);
  for (int i = 0; i < 300; ++i) x[i] = static_cast<int16_t>(i * i % 2000 - 1000);
  SetDataBuffer(0, x.data(), 300);
  ASSERT_EQ(CalculateSpectrum(x.data(), 300), 19);
  const std::vector<uint8_t> spectrum(GetSpectrum(), GetSpectrum() + 19 * 64);
  ASSERT_EQ(CutSpeech(150, 250), 1);
  EXPECT_EQ(GetSpectrumFrameNum(), 19 - 7);
  ASSERT_EQ(PasteSpeech(150, 150), 1);
  EXPECT_EQ(Channel(0), x);
  EXPECT_EQ(Peaks(), (std::vector<int32_t>{50, 150, 250}));
  EXPECT_EQ(Periods(), (std::vector<int32_t>{100, 100}));
  ASSERT_EQ(GetSpectrumFrameNum(), 19);
  EXPECT_EQ(std::vector<uint8_t>(GetSpectrum(), GetSpectrum() + 19 * 64), spectrum);
}

TEST_F(SpeechEdit, StereoEditsMoveBothChannels) {
  std::vector<int16_t> frames(600);
  for (int i = 0; i < 300; ++i) {
    frames[2 * i] = static_cast<int16_t>(i);
    frames[2 * i + 1] = static_cast<int16_t>(-i);
  }
  LoadSignal(frames, 2, 16000);
  const std::vector<int16_t> left = Channel(0), right = Channel(1);
  ASSERT_EQ(CutSpeech(40, 140), 1);
  EXPECT_EQ(Channel(0), Without(left, 40, 140));
  EXPECT_EQ(Channel(1), Without(right, 40, 140));
  EXPECT_EQ(GetWaveFileHead()->dataSize, 199u * 4);
  ASSERT_EQ(PasteSpeech(40, 40), 1);
  EXPECT_EQ(Channel(0), left);
  EXPECT_EQ(Channel(1), right);
}

TEST_F(SpeechEdit, PasteReplacesASelection) {
  ASSERT_EQ(CopySpeech(0, 9), 1);
  ASSERT_EQ(PasteSpeech(100, 149), 1);
  std::vector<int16_t> expected = Without(signal_, 100, 149);
  expected.insert(expected.begin() + 100, signal_.begin(), signal_.begin() + 10);
  EXPECT_EQ(Channel(0), expected);
}

TEST_F(SpeechEdit, RandomCutsPastedBackRestoreSamplesPeaksAndSpectrum) {
  std::mt19937 random(41);
  std::vector<int16_t> x(5000);
  for (auto& s : x) s = static_cast<int16_t>(random() % 20001) - 10000;
  std::vector<int32_t> peaks, periods;
  for (int32_t p = 37; p < 5000; p += 80 + static_cast<int32_t>(random() % 40)) peaks.push_back(p);
  for (size_t i = 0; i + 1 < peaks.size(); ++i) periods.push_back(peaks[i + 1] - peaks[i]);
  for (int round = 0; round < 30; ++round) {
    SetDataBuffer(0, x.data(), 5000);
    SetSegments({{"SIL", 0, 1200}, {"ma3", 1200, 3100}, {"SIL", 3100, 5000}});
    SetPeaks(peaks, periods);
    CalculateSpectrum(x.data(), 5000);
    const int32_t frames = GetSpectrumFrameNum();
    const std::vector<uint8_t> spectrum(GetSpectrum(), GetSpectrum() + 64 * frames);
    const int32_t a = static_cast<int32_t>(random() % 5000),
                  b = static_cast<int32_t>(random() % 5000);
    if (a == b) continue;
    ASSERT_EQ(CutSpeech(a, b), 1);
    ASSERT_EQ(PasteSpeech(std::min(a, b), std::min(a, b)), 1);
    ASSERT_EQ(Channel(0), x) << a << " " << b;
    ASSERT_EQ(Peaks(), peaks) << a << " " << b;
    ASSERT_EQ(Periods(), periods) << a << " " << b;
    ASSERT_EQ(GetSpectrumFrameNum(), frames);
    ASSERT_EQ(std::vector<uint8_t>(GetSpectrum(), GetSpectrum() + 64 * frames), spectrum);
  }
}

TEST_F(SpeechEdit, RefusalsChangeNothing) {
  SetPeaks({50, 150, 250}, {100, 100});
  CalculateSpectrum(signal_.data(), 300);
  ASSERT_EQ(CopySpeech(10, 20), 1);
  SetSegments({{"a", 0, 100}, {"b", 100, 200}});  // 200..299 outside the segmentation
  const Snapshot before = Take();
  for (auto [a, b] : std::vector<std::pair<int32_t, int32_t>>{
           {-1, 50}, {50, 300}, {250, 10}, {210, 220}, {60, 60}}) {
    EXPECT_EQ(CopySpeech(a, b), 0) << a << " " << b;
    EXPECT_EQ(DelSpeech(a, b), 0) << a << " " << b;
    EXPECT_EQ(CutSpeech(a, b), 0) << a << " " << b;
    if (a != b) {
      EXPECT_EQ(PasteSpeech(a, b), 0) << a << " " << b;
    }
  }
  EXPECT_EQ(PasteSpeech(-1, -1), 0);
  EXPECT_EQ(PasteSpeech(301, 301), 0);
  EXPECT_EQ(PasteSpeech(250, 250), 0);  // no element there
  EXPECT_EQ(Take(), before);
}

TEST_F(SpeechEdit, ClipboardOfAnotherChannelCountIsRefused) {
  ASSERT_EQ(CopySpeech(10, 20), 1);  // mono
  std::vector<int16_t> frames(600, 7);
  LoadSignal(frames, 2, 16000);
  const Snapshot stereo = Take();
  EXPECT_EQ(PasteSpeech(50, 50), 0);
  EXPECT_EQ(Take(), stereo);
  ASSERT_EQ(CopySpeech(10, 20), 1);  // stereo
  LoadSignal(signal_, 1, 16000);
  const Snapshot mono = Take();
  EXPECT_EQ(PasteSpeech(50, 50), 0);
  EXPECT_EQ(Take(), mono);
}

TEST_F(SpeechEdit, PasteBeyondTheElementCapacityIsRefused) {
  std::vector<int16_t> x(20000, 3);
  LoadSignal(x, 1, 16000);
  std::vector<Segment> many;
  for (int32_t i = 0; i < 9999; ++i) many.push_back({"e", i, i + 1});
  many.back().end = 20000;
  SetSegments(many);
  ASSERT_EQ(CopySpeech(0, 5), 1);  // six elements, the last of zero width
  const Snapshot before = Take();
  EXPECT_EQ(PasteSpeech(7, 7), 0);  // 9999 + 7 - 2 would be 10004
  EXPECT_EQ(Take(), before);
  SetSegments(std::vector<Segment>(many.begin(), many.begin() + 9990));
  TheDocument().record.elements[9989].end = 20000;
  ASSERT_EQ(PasteSpeech(7, 7), 1);  // 9990 + 5 fits
  EXPECT_EQ(GetElementNum(), 9995);
}

TEST_F(SpeechEdit, ModifiedPitchShorterThanThePeaksIsGrown) {
  DocumentState& doc = TheDocument();
  SetPeaks({50, 150, 250}, {90, 90});
  ResizeModifiedPitch(doc, 1);  // as if the periods lagged behind the peaks
  ASSERT_EQ(DelSpeech(10, 20), 1);
  EXPECT_GE(doc.pitchRoom, doc.record.peakCount);
  EXPECT_EQ(Periods(), (std::vector<int32_t>{90, 100}));
  ASSERT_EQ(CopySpeech(100, 260), 1);
  ASSERT_EQ(PasteSpeech(0, 0), 1);
  EXPECT_GE(doc.pitchRoom, doc.record.peakCount);
  EXPECT_EQ(doc.record.peakCount, 5);
}

TEST_F(SpeechEdit, StaleSpectrumFrameCountNeverMovesOutsideTheBuffer) {
  CalculateSpectrum(signal_.data(), 300);  // room for 68 frames
  std::vector<int16_t> longer(4000, 100);
  std::vector<uint8_t> host(250 * 64);
  ASSERT_EQ(_CalculateSpectrum(longer.data(), 4000, host.data()), 250);
  ASSERT_EQ(CopySpeech(20, 280), 1);
  EXPECT_LE(TheClipboard().spectrumFrames, 68);
  ASSERT_EQ(PasteSpeech(10, 10), 1);
  ASSERT_EQ(DelSpeech(0, 299), 1);
  EXPECT_LE(GetSpectrumFrameNum(), TheDocument().spectrumRoom);
}

}  // namespace
}  // namespace talvox::test
