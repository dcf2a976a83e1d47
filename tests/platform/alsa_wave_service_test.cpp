#include "platform/alsa_wave_service.h"

#include <algorithm>
#include <vector>

#include "alsa_sandbox.h"
#include "platform/message_box.h"
#include "talvox.h"

namespace talvox::test {
namespace {

using namespace talvox::platform;

std::vector<int16_t> Pattern(int count) {
  std::vector<int16_t> samples(count);
  for (int i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(i * 7919 + 13);
  return samples;
}

std::vector<uint8_t> BytesOf(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes(samples.size() * 2);
  std::copy_n(reinterpret_cast<const uint8_t*>(samples.data()), bytes.size(), bytes.data());
  return bytes;
}

// The raw file holds the played bytes, then at most zero padding.
void ExpectPlayed(const std::string& path, const std::vector<uint8_t>& expected) {
  std::vector<uint8_t> played = ReadBytes(path);
  ASSERT_GE(played.size(), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), played.begin()));
  EXPECT_TRUE(std::all_of(played.begin() + expected.size(), played.end(),
                          [](uint8_t b) { return b == 0; }));
}

TEST(AlsaService, PlaysTheHostBufferInPlaceAndReportsDone) {
  AlsaSandbox sandbox;
  NotificationPipe host;
  ASSERT_EQ(PlayOpen(host.Window(), 22050, 1, 16), 1);
  EXPECT_EQ(host.Next(), 0x3BBu);
  std::vector<int16_t> samples = Pattern(3000);
  PlayData(samples.data(), 6000);
  uint32_t parameter = 0;
  EXPECT_EQ(host.Next(&parameter), 0x3BDu);
  EXPECT_EQ(parameter, 6000u);
  EXPECT_EQ(WaveOutGetPosition(), 3000);
  EXPECT_EQ(PlayStop(), 1);
  EXPECT_EQ(host.Next(), 0x3BCu);
  EXPECT_TRUE(host.Empty());
  ExpectPlayed(sandbox.Played(), BytesOf(samples));
}

TEST(AlsaService, PlaysStereoBuffersOneAfterAnother) {
  AlsaSandbox sandbox;
  NotificationPipe host;
  ASSERT_EQ(PlayOpen(host.Window(), 16000, 2, 16), 1);
  EXPECT_EQ(host.Next(), 0x3BBu);
  std::vector<int16_t> first = Pattern(2 * 1001);
  std::vector<int16_t> second(2 * 500, -2);
  PlayData(first.data(), int32_t(first.size() * 2));
  EXPECT_EQ(host.Next(), 0x3BDu);
  PlayData(second.data(), int32_t(second.size() * 2));
  EXPECT_EQ(host.Next(), 0x3BDu);
  EXPECT_EQ(WaveOutGetPosition(), 1501);
  PlayClose();
  EXPECT_EQ(host.Next(), 0x3BCu);
  // The first buffer's last period was padded with silence before the
  // second one came.
  std::vector<uint8_t> played = ReadBytes(sandbox.Played());
  std::vector<uint8_t> head = BytesOf(first);
  ASSERT_GE(played.size(), head.size());
  EXPECT_TRUE(std::equal(head.begin(), head.end(), played.begin()));
  std::vector<uint8_t> tail = BytesOf(second);
  auto found = std::search(played.begin() + head.size(), played.end(), tail.begin(), tail.end());
  EXPECT_NE(found, played.end());
}

TEST(AlsaService, WithoutAWindowPlaybackStillRuns) {
  AlsaSandbox sandbox;
  ASSERT_EQ(PlayOpen(0, 8000, 1, 16), 1);
  std::vector<int16_t> samples = Pattern(800);
  PlayData(samples.data(), 1600);
  // No notification to wait for: watch the position (bounded, not timed).
  for (int tries = 0; tries < 6000 && WaveOutGetPosition() < 800; ++tries) usleep(5000);
  EXPECT_EQ(WaveOutGetPosition(), 800);
  EXPECT_EQ(PlayStop(), 1);
  ExpectPlayed(sandbox.Played(), BytesOf(samples));
}

TEST(AlsaService, PausedPlaybackPlaysNothingAndStopReturnsTheBuffer) {
  AlsaSandbox sandbox;
  NotificationPipe host;
  ASSERT_EQ(PlayOpen(host.Window(), 22050, 1, 16), 1);
  EXPECT_EQ(host.Next(), 0x3BBu);
  PlayPause();
  std::vector<int16_t> samples = Pattern(4000);
  PlayData(samples.data(), 8000);
  EXPECT_EQ(WaveOutGetPosition(), 0);
  EXPECT_EQ(PlayStop(), 1);
  // Once PlayStop has returned the buffer is the host's again.
  std::fill(samples.begin(), samples.end(), 0);
  uint32_t parameter = 0;
  EXPECT_EQ(host.Next(&parameter), 0x3BDu);
  EXPECT_EQ(host.Next(), 0x3BCu);
  std::vector<uint8_t> played = ReadBytes(sandbox.Played());
  EXPECT_TRUE(std::all_of(played.begin(), played.end(), [](uint8_t b) { return b == 0; }));
}

TEST(AlsaService, PlaybackQueuedWhilePausedPlaysOnRestart) {
  AlsaSandbox sandbox;
  NotificationPipe host;
  ASSERT_EQ(PlayOpen(host.Window(), 22050, 1, 16), 1);
  EXPECT_EQ(host.Next(), 0x3BBu);
  PlayPause();
  std::vector<int16_t> samples = Pattern(5000);
  PlayData(samples.data(), 10000);
  PlayPause();
  EXPECT_EQ(host.Next(), 0x3BDu);
  EXPECT_EQ(WaveOutGetPosition(), 5000);
  PlayClose();
  EXPECT_EQ(host.Next(), 0x3BCu);
  ExpectPlayed(sandbox.Played(), BytesOf(samples));
}

TEST(AlsaService, AHostThatClosedItsPipeIsNotKilled) {
  AlsaSandbox sandbox;
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);
  ASSERT_EQ(PlayOpen(static_cast<uint32_t>(ends[1]), 8000, 1, 16), 1);
  std::vector<int16_t> samples = Pattern(100);
  PlayData(samples.data(), 200);
  for (int tries = 0; tries < 6000 && WaveOutGetPosition() < 100; ++tries) usleep(5000);
  EXPECT_EQ(PlayStop(), 1);
  close(ends[1]);
}

// The buffers are longer than ALSA's own buffer, so they fill in many reads.
TEST(AlsaService, RecordsTheRawFileIntoTheHostBuffer) {
  AlsaSandbox sandbox;
  std::vector<uint8_t> source = BytesOf(Pattern(60000));
  WriteBytes(sandbox.Captured(), source);
  NotificationPipe host;
  ASSERT_EQ(RecordOpen(host.Window(), 22050, 1, 16), 1);
  EXPECT_EQ(host.Next(), 0x3BEu);
  std::vector<uint8_t> buffer(40000, 0xEE);
  RecordData(buffer.data(), 40000);
  uint32_t parameter = 0;
  EXPECT_EQ(host.Next(&parameter), 0x3C0u);
  EXPECT_EQ(parameter, 40000u);
  EXPECT_EQ(GetRecordBytes(), 40000);
  EXPECT_EQ(WaveInGetPosition(), 20000);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), source.begin()));
  EXPECT_EQ(RecordStop(), 1);
  EXPECT_EQ(host.Next(), 0x3BFu);
  EXPECT_TRUE(host.Empty());
}

TEST(AlsaService, RecordsStereoBuffersOneAfterAnother) {
  AlsaSandbox sandbox;
  std::vector<uint8_t> source = BytesOf(Pattern(80000));
  WriteBytes(sandbox.Captured(), source);
  NotificationPipe host;
  ASSERT_EQ(RecordOpen(host.Window(), 44100, 2, 16), 1);
  EXPECT_EQ(host.Next(), 0x3BEu);
  std::vector<uint8_t> first(30000), second(20000);
  RecordData(first.data(), 30000);
  EXPECT_EQ(host.Next(), 0x3C0u);
  RecordData(second.data(), 20000);
  EXPECT_EQ(host.Next(), 0x3C0u);
  EXPECT_EQ(WaveInGetPosition(), 12500);
  RecordClose();
  EXPECT_TRUE(std::equal(first.begin(), first.end(), source.begin()));
  // The device keeps recording between the buffers, so the second one holds
  // later bytes of the file, whole frames of it.
  auto found = std::search(source.begin() + 30000, source.end(), second.begin(), second.end());
  ASSERT_NE(found, source.end());
  EXPECT_EQ((found - source.begin()) % 4, 0);
}

TEST(AlsaService, StopHandsBackWhatWasRecorded) {
  AlsaSandbox sandbox;
  std::vector<uint8_t> source = BytesOf(Pattern(100000));
  WriteBytes(sandbox.Captured(), source);
  NotificationPipe host;
  ASSERT_EQ(RecordOpen(host.Window(), 8000, 2, 16), 1);
  EXPECT_EQ(host.Next(), 0x3BEu);
  std::vector<uint8_t> buffer(200000, 0xEE);
  RecordData(buffer.data(), 200000);
  EXPECT_EQ(RecordStop(), 1);
  // However far the device got, the buffer is back, whole frames of the
  // file's first bytes, and the rest untouched.
  uint32_t parameter = 0;
  EXPECT_EQ(host.Next(&parameter), 0x3C0u);
  const int32_t bytes = GetRecordBytes();
  EXPECT_EQ(uint32_t(bytes), parameter);
  EXPECT_EQ(bytes % 4, 0);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + bytes, source.begin()));
  EXPECT_TRUE(
      std::all_of(buffer.begin() + bytes, buffer.end(), [](uint8_t b) { return b == 0xEE; }));
  EXPECT_EQ(host.Next(), 0x3BFu);
}

TEST(AlsaService, NoUsableDefaultDeviceShowsTheMessages) {
  AlsaSandbox sandbox(false);
  char* text = nullptr;
  size_t size = 0;
  std::FILE* capture = open_memstream(&text, &size);
  RedirectMessageBoxes(capture);
  EXPECT_EQ(PlayOpen(0, 22050, 1, 16), 0);
  EXPECT_EQ(RecordOpen(0, 22050, 1, 16), 0);
  EXPECT_EQ(isSoundOpen(), 0);
  RedirectMessageBoxes(nullptr);
  std::fclose(capture);
  EXPECT_EQ(std::string(text, size),
            "Error: Cannot Open the Audio Device\nError: Cannot Open the Record Audio Device\n");
  std::free(text);
}

TEST(AlsaService, UnsupportedFormatIsRefused) {
  AlsaSandbox sandbox;
  RedirectMessageBoxes(std::tmpfile());
  EXPECT_EQ(PlayOpen(0, 22050, 1, 12), 0);
  WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
  HWAVEOUT device = nullptr;
  WaveService& service = TheAlsaWaveService();
  format.wFormatTag = 3;
  EXPECT_EQ(service.OutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nBlockAlign = 4;
  EXPECT_EQ(service.OutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
  format.nBlockAlign = 2;
  EXPECT_EQ(service.OutOpen(&device, 5, &format, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(service.OutOpen(&device, WAVE_MAPPER, &format, 0, 0, 0x30000), MMSYSERR_INVALFLAG);
  EXPECT_EQ(device, nullptr);
}

TEST(AlsaService, HeadersMustBePreparedAndNotQueuedTwice) {
  AlsaSandbox sandbox;
  WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
  WaveService& service = TheAlsaWaveService();
  HWAVEOUT device = nullptr;
  ASSERT_EQ(service.OutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  std::vector<int16_t> samples = Pattern(100);
  WAVEHDR header{};
  header.lpData = reinterpret_cast<char*>(samples.data());
  header.dwBufferLength = 200;
  EXPECT_EQ(service.OutWrite(device, &header, sizeof header), WAVERR_UNPREPARED);
  EXPECT_EQ(service.OutPrepareHeader(device, &header, sizeof header - 1), MMSYSERR_INVALPARAM);
  ASSERT_EQ(service.OutPause(device), MMSYSERR_NOERROR);
  ASSERT_EQ(service.OutPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
  ASSERT_EQ(service.OutWrite(device, &header, sizeof header), MMSYSERR_NOERROR);
  EXPECT_NE(header.dwFlags & WHDR_INQUEUE, 0u);
  EXPECT_EQ(service.OutPrepareHeader(device, &header, sizeof header), WAVERR_STILLPLAYING);
  EXPECT_EQ(service.OutWrite(device, &header, sizeof header), WAVERR_STILLPLAYING);
  // Closing with the buffer still queued hands it back first.
  EXPECT_EQ(service.OutClose(device), MMSYSERR_NOERROR);
  EXPECT_EQ(header.dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
  EXPECT_EQ(service.OutReset(device), MMSYSERR_INVALHANDLE);
}

TEST(AlsaService, CallsAfterFreeWavePlayFailSafely) {
  AlsaSandbox sandbox;
  RedirectMessageBoxes(std::tmpfile());
  ASSERT_EQ(PlayOpen(0, 22050, 1, 16), 1);
  FreeWavePlay();
  EXPECT_EQ(isSoundOpen(), 1);
  EXPECT_EQ(WaveOutGetPosition(), 0);
  EXPECT_EQ(PlayStop(), 0);  // the reset of a closed device fails
}

}  // namespace
}  // namespace talvox::test
