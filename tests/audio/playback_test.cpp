#include "audio_fixture.h"

namespace talvox::test {
namespace {

constexpr const char* kOpenMono16 =
    "waveOutOpen(id=0xFFFFFFFF, {tag=1 ch=1 rate=22050 avg=44100 align=2 bits=16 cb=0}, "
    "window=7, instance=0, flags=0x10000)";

TEST_F(AudioTest, OpenFillsTheFormatRecordAndOpensThroughTheMapper) {
  EXPECT_EQ(PlayOpen(7, 22050, 1, 16), 1);
  EXPECT_EQ(fake.calls, Calls({kOpenMono16}));
  EXPECT_EQ(fake.openTarget, &audio().output);
  EXPECT_EQ(audio().playOpen, 1);
  EXPECT_EQ(audio().paused, 0);
  EXPECT_EQ(audio().samplesPerSec, 22050);
  EXPECT_EQ(audio().channels, 1);
  EXPECT_EQ(audio().bitsPerSample, 16);
  EXPECT_EQ(isSoundOpen(), 1);
  EXPECT_EQ(messages.Text(), "");
}

TEST_F(AudioTest, FormatRecordForStereoAndForTwelveBits) {
  PlayOpen(7, 22050, 2, 16);
  EXPECT_EQ(audio().format.nAvgBytesPerSec, 88200u);
  EXPECT_EQ(audio().format.nBlockAlign, 4);
  // 12 / 8 is one byte per sample: block align equals the channel count.
  PlayOpen(7, 22050, 2, 12);
  EXPECT_EQ(audio().format.nAvgBytesPerSec, 44100u);
  EXPECT_EQ(audio().format.nBlockAlign, 2);
  EXPECT_EQ(audio().format.wBitsPerSample, 12);
  EXPECT_EQ(audio().format.cbSize, 0);
}

TEST_F(AudioTest, FailedOpenShowsTheMessageAndStaysClosed) {
  fake.Fail("waveOutOpen");
  EXPECT_EQ(PlayOpen(7, 22050, 1, 16), 0);
  EXPECT_EQ(messages.Text(), "Error: Cannot Open the Audio Device\n");
  EXPECT_EQ(fake.calls, Calls({kOpenMono16}));
  EXPECT_EQ(audio().playOpen, 0);
  EXPECT_EQ(isSoundOpen(), 0);
  int16_t samples[2] = {};
  PlayData(samples, 4);
  PlayPause();
  PlayClose();
  EXPECT_EQ(PlayStop(), 1);
  EXPECT_EQ(fake.calls.size(), 1u);
}

TEST_F(AudioTest, OpenWhileOpenClosesTheEarlierDeviceAndClearsThePause) {
  PlayOpen(7, 22050, 1, 16);
  PlayPause();
  EXPECT_EQ(PlayOpen(7, 22050, 1, 16), 1);
  EXPECT_EQ(fake.calls, Calls({kOpenMono16, "waveOutPause(out1)", "waveOutReset(out1)",
                               "waveOutClose(out1)", kOpenMono16}));
  EXPECT_EQ(audio().paused, 0);
  PlayPause();
  EXPECT_EQ(fake.calls.back(), "waveOutPause(out2)");
}

TEST_F(AudioTest, PlayDataHandsTheHostBufferToTheDevice) {
  PlayOpen(7, 22050, 1, 16);
  std::vector<int16_t> samples(50);
  audio().header.dwFlags = WHDR_DONE | WHDR_PREPARED;
  audio().header.dwLoops = 3;
  PlayData(samples.data(), 100);
  const std::string header = Header(samples.data(), 100);
  EXPECT_EQ(fake.calls, Calls({kOpenMono16, "waveOutPrepareHeader(out1, " + header + ")",
                               "waveOutWrite(out1, " + header + ")"}));
  EXPECT_EQ(audio().header.lpData, reinterpret_cast<char*>(samples.data()));
}

TEST_F(AudioTest, PlayDataIgnoresNullAndEmptyBuffersAndAClosedDevice) {
  int16_t samples[4] = {};
  PlayData(samples, 8);
  PlayOpen(7, 22050, 1, 16);
  PlayData(nullptr, 8);
  PlayData(samples, 0);
  PlayData(samples, -8);
  EXPECT_EQ(fake.calls, Calls({kOpenMono16}));
}

TEST_F(AudioTest, PauseAlternatesBetweenPauseAndRestart) {
  PlayPause();
  EXPECT_TRUE(fake.calls.empty());
  PlayOpen(7, 22050, 1, 16);
  fake.Fail("waveOutPause");  // results are not examined
  PlayPause();
  PlayPause();
  PlayPause();
  EXPECT_EQ(fake.calls, Calls({kOpenMono16, "waveOutPause(out1)", "waveOutRestart(out1)",
                               "waveOutPause(out1)"}));
  EXPECT_EQ(audio().paused, 1);
}

TEST_F(AudioTest, PositionAsksForSamplesInATwelveByteRecord) {
  EXPECT_EQ(WaveOutGetPosition(), 0);
  EXPECT_TRUE(fake.calls.empty());
  PlayOpen(7, 22050, 1, 16);
  fake.positionValue = 12345;
  EXPECT_EQ(WaveOutGetPosition(), 12345);
  EXPECT_EQ(fake.calls.back(), "waveOutGetPosition(out1, type=2, size=12)");
  fake.positionFormat = TIME_BYTES;
  EXPECT_EQ(WaveOutGetPosition(), 0);
  fake.Fail("waveOutGetPosition");
  EXPECT_EQ(WaveOutGetPosition(), 0);
}

TEST_F(AudioTest, StopResetsAndCloses) {
  EXPECT_EQ(PlayStop(), 1);
  EXPECT_TRUE(fake.calls.empty());
  PlayOpen(7, 22050, 1, 16);
  EXPECT_EQ(PlayStop(), 1);
  EXPECT_EQ(fake.calls, Calls({kOpenMono16, "waveOutReset(out1)", "waveOutClose(out1)"}));
  EXPECT_EQ(audio().output, nullptr);
  EXPECT_EQ(audio().playOpen, 0);
  EXPECT_EQ(isSoundOpen(), 0);
}

TEST_F(AudioTest, StopWithAFailedResetKeepsTheDeviceOpenSilently) {
  PlayOpen(7, 22050, 1, 16);
  fake.Fail("waveOutReset");
  EXPECT_EQ(PlayStop(), 0);
  EXPECT_EQ(fake.calls, Calls({kOpenMono16, "waveOutReset(out1)"}));
  EXPECT_EQ(audio().playOpen, 1);
  EXPECT_NE(audio().output, nullptr);
  EXPECT_EQ(messages.Text(), "");
}

TEST_F(AudioTest, StopWithAFailedCloseShowsTheMessageAndKeepsTheDevice) {
  PlayOpen(7, 22050, 1, 16);
  HWAVEOUT device = audio().output;
  fake.Fail("waveOutClose");
  EXPECT_EQ(PlayStop(), 0);
  EXPECT_EQ(messages.Text(), "Error: Error Close...\n");
  EXPECT_EQ(audio().output, device);
  EXPECT_EQ(audio().playOpen, 1);
}

TEST_F(AudioTest, CloseResetsClosesAndForgetsTheDevice) {
  PlayClose();
  EXPECT_TRUE(fake.calls.empty());
  PlayOpen(7, 22050, 1, 16);
  PlayClose();
  EXPECT_EQ(fake.calls, Calls({kOpenMono16, "waveOutReset(out1)", "waveOutClose(out1)"}));
  EXPECT_EQ(audio().playOpen, 0);
  EXPECT_EQ(audio().output, nullptr);
}

TEST_F(AudioTest, CloseStopsAtAFailedResetButForgetsAFailedClose) {
  PlayOpen(7, 22050, 1, 16);
  fake.Fail("waveOutReset");
  PlayClose();
  EXPECT_EQ(fake.calls, Calls({kOpenMono16, "waveOutReset(out1)"}));
  EXPECT_EQ(audio().playOpen, 1);

  fake.Fail("waveOutReset", MMSYSERR_NOERROR);
  fake.Fail("waveOutClose");
  PlayClose();
  EXPECT_EQ(messages.Text(), "Error: Error Close...\n");
  EXPECT_EQ(fake.calls.back(), "waveOutClose(out1)");
  EXPECT_EQ(audio().playOpen, 0);
  EXPECT_EQ(audio().output, nullptr);
}

TEST_F(AudioTest, FreeWavePlayClosesBothDevicesAndKeepsTheFlags) {
  FreeWavePlay();
  EXPECT_TRUE(fake.calls.empty());
  PlayOpen(7, 22050, 1, 16);
  RecordOpen(7, 22050, 1, 16);
  fake.calls.clear();
  fake.Fail("waveOutClose");
  FreeWavePlay();
  EXPECT_EQ(fake.calls, Calls({"waveOutClose(out1)", "waveInClose(in1)"}));
  EXPECT_EQ(messages.Text(), "");
  EXPECT_EQ(audio().playOpen, 1);
  EXPECT_EQ(audio().recordOpen, 1);
  EXPECT_NE(audio().output, nullptr);
  EXPECT_EQ(isSoundOpen(), 1);
}

TEST_F(AudioTest, IsSoundOpenWhileEitherDirectionIsOpen) {
  RecordOpen(7, 8000, 1, 16);
  EXPECT_EQ(isSoundOpen(), 1);
  RecordClose();
  EXPECT_EQ(isSoundOpen(), 0);
  PlayOpen(7, 8000, 1, 16);
  EXPECT_EQ(isSoundOpen(), 1);
}

TEST_F(AudioTest, TheDoneRecordReachesTheHostPipe) {
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  PlayOpen(static_cast<uint32_t>(pipeEnds[1]), 22050, 1, 16);
  int16_t samples[10] = {};
  PlayData(samples, sizeof samples);
  fake.FinishPlayback();
  uint32_t message = 0, parameter = 0;
  ReadRecord(pipeEnds[0], &message, &parameter);
  EXPECT_EQ(message, 0x3BDu);
  EXPECT_EQ(parameter, sizeof samples);
  EXPECT_NE(audio().header.dwFlags & WHDR_DONE, 0u);
  close(pipeEnds[0]);
  close(pipeEnds[1]);
}

}  // namespace
}  // namespace talvox::test
