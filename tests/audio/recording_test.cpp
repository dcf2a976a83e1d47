#include "audio_fixture.h"

namespace talvox::test {
namespace {

constexpr const char* kOpenMono16 =
    "waveInOpen(id=0xFFFFFFFF, {tag=1 ch=1 rate=22050 avg=44100 align=2 bits=16 cb=0}, "
    "window=9, instance=0, flags=0x10000)";

TEST_F(AudioTest, RecordOpenFillsTheFormatRecordAndOpensThroughTheMapper) {
  EXPECT_EQ(RecordOpen(9, 22050, 1, 16), 1);
  EXPECT_EQ(fake.calls, Calls({kOpenMono16}));
  EXPECT_EQ(fake.openTarget, &audio().input);
  EXPECT_EQ(audio().recordOpen, 1);
  EXPECT_EQ(isSoundOpen(), 1);
}

TEST_F(AudioTest, RecordOpenReplacesTheFormatPlaybackWasOpenedWith) {
  PlayOpen(9, 44100, 2, 16);
  RecordOpen(9, 22050, 1, 12);
  EXPECT_EQ(audio().samplesPerSec, 22050);
  EXPECT_EQ(audio().channels, 1);
  EXPECT_EQ(audio().bitsPerSample, 12);
  EXPECT_EQ(audio().format.nSamplesPerSec, 22050u);
  EXPECT_EQ(audio().format.nAvgBytesPerSec, 22050u);
  EXPECT_EQ(audio().format.nBlockAlign, 1);
  EXPECT_EQ(audio().playOpen, 1);
}

TEST_F(AudioTest, FailedRecordOpenLeavesPlaybackAlone) {
  PlayOpen(9, 22050, 1, 16);
  fake.calls.clear();
  fake.Fail("waveInOpen");
  EXPECT_EQ(RecordOpen(9, 22050, 1, 16), 0);
  EXPECT_EQ(messages.Text(), "Error: Cannot Open the Record Audio Device\n");
  EXPECT_EQ(fake.calls, Calls({kOpenMono16}));
  EXPECT_EQ(audio().recordOpen, 0);
  EXPECT_EQ(audio().playOpen, 1);
  EXPECT_EQ(isSoundOpen(), 1);
}

TEST_F(AudioTest, RecordOpenWhileOpenClosesTheEarlierDevice) {
  RecordOpen(9, 22050, 1, 16);
  EXPECT_EQ(RecordOpen(9, 22050, 1, 16), 1);
  EXPECT_EQ(fake.calls, Calls({kOpenMono16, "waveInReset(in1)", "waveInClose(in1)", kOpenMono16}));
  RecordStop();
  EXPECT_EQ(fake.calls.back(), "waveInClose(in2)");
}

TEST_F(AudioTest, RecordDataPreparesAddsAndStarts) {
  RecordOpen(9, 22050, 1, 16);
  std::vector<uint8_t> buffer(64, 0xAA);
  audio().header.dwBytesRecorded = 17;  // left from an earlier recording
  audio().header.dwFlags = WHDR_DONE;
  RecordData(buffer.data(), 64);
  const std::string header = Header(buffer.data(), 64);
  EXPECT_EQ(fake.calls, Calls({kOpenMono16, "waveInPrepareHeader(in1, " + header + ")",
                               "waveInAddBuffer(in1, " + header + ")", "waveInStart(in1)"}));
  EXPECT_EQ(GetRecordBytes(), 0);
}

TEST_F(AudioTest, RecordDataIgnoresNullAndEmptyBuffersAndAClosedDevice) {
  uint8_t buffer[8];
  RecordData(buffer, 8);
  RecordOpen(9, 22050, 1, 16);
  RecordData(nullptr, 8);
  RecordData(buffer, 0);
  RecordData(buffer, -1);
  EXPECT_EQ(fake.calls, Calls({kOpenMono16}));
}

TEST_F(AudioTest, TheFilledBufferAndItsDataRecordReachTheHost) {
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  RecordOpen(static_cast<uint32_t>(pipeEnds[1]), 22050, 1, 16);
  std::vector<uint8_t> buffer(6, 0);
  RecordData(buffer.data(), 6);
  fake.FinishRecording({1, 2, 3, 4});
  uint32_t message = 0, parameter = 0;
  ReadRecord(pipeEnds[0], &message, &parameter);
  EXPECT_EQ(message, 0x3C0u);
  EXPECT_EQ(parameter, 4u);
  EXPECT_EQ(GetRecordBytes(), 4);
  EXPECT_EQ(buffer, std::vector<uint8_t>({1, 2, 3, 4, 0, 0}));
  close(pipeEnds[0]);
  close(pipeEnds[1]);
}

TEST_F(AudioTest, RecordPositionAsksForSamplesInATwelveByteRecord) {
  EXPECT_EQ(WaveInGetPosition(), 0);
  EXPECT_TRUE(fake.calls.empty());
  RecordOpen(9, 22050, 1, 16);
  fake.positionValue = 777;
  EXPECT_EQ(WaveInGetPosition(), 777);
  EXPECT_EQ(fake.calls.back(), "waveInGetPosition(in1, type=2, size=12)");
  fake.positionFormat = TIME_MS;
  EXPECT_EQ(WaveInGetPosition(), 0);
}

TEST_F(AudioTest, RecordStopResetsStopsAndCloses) {
  EXPECT_EQ(RecordStop(), 1);
  EXPECT_TRUE(fake.calls.empty());
  RecordOpen(9, 22050, 1, 16);
  EXPECT_EQ(RecordStop(), 1);
  EXPECT_EQ(fake.calls,
            Calls({kOpenMono16, "waveInReset(in1)", "waveInStop(in1)", "waveInClose(in1)"}));
  EXPECT_EQ(audio().recordOpen, 0);
  EXPECT_EQ(audio().input, nullptr);
}

TEST_F(AudioTest, RecordStopFailuresKeepTheDeviceOpen) {
  RecordOpen(9, 22050, 1, 16);
  fake.Fail("waveInReset");
  EXPECT_EQ(RecordStop(), 0);
  EXPECT_EQ(fake.calls.back(), "waveInReset(in1)");
  fake.Fail("waveInReset", MMSYSERR_NOERROR);
  fake.Fail("waveInStop");
  EXPECT_EQ(RecordStop(), 0);
  EXPECT_EQ(fake.calls.back(), "waveInStop(in1)");
  EXPECT_EQ(messages.Text(), "");
  fake.Fail("waveInStop", MMSYSERR_NOERROR);
  fake.Fail("waveInClose");
  EXPECT_EQ(RecordStop(), 0);
  EXPECT_EQ(messages.Text(), "Error: Error Close...\n");
  EXPECT_EQ(audio().recordOpen, 1);
  EXPECT_NE(audio().input, nullptr);
}

TEST_F(AudioTest, RecordCloseResetsAndClosesWithoutStop) {
  RecordClose();
  EXPECT_TRUE(fake.calls.empty());
  RecordOpen(9, 22050, 1, 16);
  RecordClose();
  EXPECT_EQ(fake.calls, Calls({kOpenMono16, "waveInReset(in1)", "waveInClose(in1)"}));
  EXPECT_EQ(audio().recordOpen, 0);
}

TEST_F(AudioTest, RecordCloseStopsAtAFailedResetButForgetsAFailedClose) {
  RecordOpen(9, 22050, 1, 16);
  fake.Fail("waveInReset");
  RecordClose();
  EXPECT_EQ(fake.calls.back(), "waveInReset(in1)");
  EXPECT_EQ(audio().recordOpen, 1);
  fake.Fail("waveInReset", MMSYSERR_NOERROR);
  fake.Fail("waveInClose");
  RecordClose();
  EXPECT_EQ(messages.Text(), "Error: Error Close...\n");
  EXPECT_EQ(audio().recordOpen, 0);
  EXPECT_EQ(audio().input, nullptr);
}

}  // namespace
}  // namespace talvox::test
