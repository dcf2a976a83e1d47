// talvox play FILE.wav
// talvox record OUT.wav --seconds N [--rate R] [--channels C]
//
// Built on the library's exports alone: the sound device reports through a
// pipe that these commands create and poll, the descriptor of whose write
// end is the notification window.
#include "cmd_audio.h"

#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "cli_error.h"
#include "output.h"
#include "talvox.h"

namespace {

constexpr uint32_t kPlaybackDone = 0x3BD;
constexpr uint32_t kRecordingData = 0x3C0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kBitsPerSample = 16;
constexpr int kBytesPerSample = 2;
constexpr int kDefaultRate = 16000;
constexpr int kMaxRate = 384000;
// Slack beyond a buffer's own duration before a silent device counts as
// stuck: generous, since a busy machine may start a device late.
constexpr int kSlackMs = 10000;
// Playback goes out in buffers of at most this many bytes, one at a time,
// as the device protocol wants.
constexpr int64_t kChunkBytes = 1 << 24;

const char kPlayUsage[] =
    "usage: talvox play FILE.wav\n"
    "Plays a 16-bit PCM WAV file (mono or stereo) on the default sound device.\n";
const char kRecordUsage[] =
    "usage: talvox record OUT.wav --seconds N [--rate R] [--channels C]\n"
    "Records N seconds (decimals allowed) of 16-bit PCM from the default sound\n"
    "device into OUT.wav. R: samples per second (default 16000); C: 1 or 2\n"
    "(default 1).\n";

volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

// Ctrl-C stops the device cleanly instead of killing the process mid-buffer.
class InterruptGuard {
 public:
  InterruptGuard() {
    interrupted = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous_);
  }
  ~InterruptGuard() { sigaction(SIGINT, &previous_, nullptr); }

 private:
  struct sigaction previous_ {};
};

class NotificationPipe {
 public:
  NotificationPipe() { ok_ = pipe(ends_) == 0; }
  ~NotificationPipe() {
    if (ok_) {
      close(ends_[0]);
      close(ends_[1]);
    }
  }
  bool ok() const { return ok_; }
  uint32_t Window() const { return static_cast<uint32_t>(ends_[1]); }

  enum Result { kArrived, kInterrupted, kTimedOut };
  // Reads records until one with the message arrives (others, like the
  // open notice, are skipped).
  Result WaitFor(uint32_t message, int64_t timeoutMs) {
    while (timeoutMs > 0) {
      const int slice = static_cast<int>(std::min<int64_t>(timeoutMs, 200));
      pollfd ready{ends_[0], POLLIN, 0};
      int n = poll(&ready, 1, slice);
      if (interrupted || tvx::InterruptRequested()) return kInterrupted;
      if (n < 0 && errno != EINTR) return kTimedOut;
      if (n <= 0) {
        timeoutMs -= slice;
        continue;
      }
      uint8_t record[8];
      if (read(ends_[0], record, sizeof record) != static_cast<ssize_t>(sizeof record))
        return kTimedOut;
      uint32_t got = record[0] | record[1] << 8 | record[2] << 16 | uint32_t(record[3]) << 24;
      if (got == message) return kArrived;
    }
    return kTimedOut;
  }

 private:
  int ends_[2] = {-1, -1};
  bool ok_ = false;
};

int Fail(const std::string& text) {
  std::fprintf(stderr, "talvox: %s\n", text.c_str());
  return kExitFailure;
}

// One line, as every other command's usage errors: "talvox play: ... (see ...)".
int UsageError(const std::string& text) {
  const std::string command = text.substr(0, text.find(':'));
  std::fprintf(stderr, "talvox %s (see 'talvox %s --help')\n", text.c_str(), command.c_str());
  return kExitUsage;
}

// Runs a device call with standard error caught: the library announces a
// device it cannot open in a line of its own (and ALSA may add more), but
// the tool says it once, in its own words.
int32_t WithoutLibraryMessages(const std::function<int32_t()>& call) {
  std::fflush(stderr);
  std::FILE* sink = std::tmpfile();
  int saved = sink ? dup(2) : -1;
  if (saved >= 0) dup2(fileno(sink), 2);
  int32_t result = call();
  if (saved >= 0) {
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
  }
  if (sink) std::fclose(sink);
  return result;
}

bool WantsHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
  return false;
}

int64_t DurationMs(int64_t bytes, int rate, int channels) {
  return bytes * 1000 / (int64_t(rate) * channels * kBytesPerSample);
}

// Plays bytes in buffers of at most kChunkBytes; 0 on success.
int PlayBytes(NotificationPipe& host, const uint8_t* data, int64_t bytes, int rate, int channels) {
  const int64_t frameBytes = int64_t(channels) * kBytesPerSample;
  const int64_t chunk = kChunkBytes / frameBytes * frameBytes;
  for (int64_t at = 0; at < bytes; at += chunk) {
    const int64_t length = std::min(chunk, bytes - at);
    PlayData(const_cast<uint8_t*>(data + at), static_cast<int32_t>(length));
    switch (host.WaitFor(kPlaybackDone, DurationMs(length, rate, channels) + kSlackMs)) {
      case NotificationPipe::kArrived:
        break;
      case NotificationPipe::kInterrupted:
        PlayStop();
        return Fail("interrupted");
      case NotificationPipe::kTimedOut:
        PlayStop();
        return Fail("the sound device stopped responding");
    }
  }
  return 0;
}

bool ParsePositive(const char* text, double* value) {
  char* end = nullptr;
  errno = 0;
  *value = std::strtod(text, &end);
  return errno == 0 && end != text && *end == '\0' && std::isfinite(*value) && *value > 0;
}

bool ParseInt(const char* text, int low, int high, int* value) {
  char* end = nullptr;
  errno = 0;
  long parsed = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high) return false;
  *value = static_cast<int>(parsed);
  return true;
}

// Writes the recorded frames as a WAV file through the wave buffer, under a
// temporary name first so a failure never leaves a half-written file.
int SaveRecording(const std::string& path, const std::vector<int16_t>& samples, int32_t frames,
                  int rate, int channels) {
  InitWaveFileProc();
  TvxWaveHeader* header = GetWaveFileHead();
  header->channels = static_cast<uint16_t>(channels);
  header->samplesPerSec = static_cast<uint32_t>(rate);
  header->blockAlign = static_cast<uint16_t>(channels * kBytesPerSample);
  header->avgBytesPerSec = header->samplesPerSec * header->blockAlign;
  header->bitsPerSample = kBitsPerSample;
  if (frames > 0 && !SetDataBuffer(channels == 2 ? 2 : 0, samples.data(), frames)) {
    FreeWaveFileProc();
    return Fail(path + ": cannot hold the recording");
  }
  if (frames == 0) SetWaveLength(0);
  bool saved = false;
  try {
    tvx::OutputFile output(path);
    saved = SaveWaveFile(1, output.temp().c_str(), 0, 0) == 1;
    if (saved) output.Commit();
  } catch (const tvx::CliError& error) {
    FreeWaveFileProc();
    return Fail(error.what());
  }
  FreeWaveFileProc();
  if (!saved) return Fail(path + ": cannot write the file");
  return 0;
}

}  // namespace

int RunPlay(int argc, char** argv) {
  if (WantsHelp(argc, argv)) {
    std::fputs(kPlayUsage, stdout);
    return 0;
  }
  if (argc != 2)
    return UsageError(argc < 2 ? "play: no file named" : "play: too many arguments");
  const std::string path = argv[1];
  InitWaveFileProc();
  if (!ReadWaveFile(1, path.c_str(), 0, 0)) {
    FreeWaveFileProc();
    return Fail(path + ": not a 16-bit PCM WAV file");
  }
  const int channels = GetChannels();
  const int rate = GetSamplesPerSec();
  const int64_t bytes = int64_t(GetWaveLength()) * channels * kBytesPerSample;
  const uint8_t* data = reinterpret_cast<const uint8_t*>(GetDataBuffer(channels == 2 ? 2 : 0));
  int status = 0;
  if (bytes > 0 && data != nullptr) {
    InterruptGuard guard;
    NotificationPipe host;
    if (!host.ok()) {
      status = Fail("cannot create a pipe");
    } else if (!WithoutLibraryMessages([&] { return PlayOpen(host.Window(), rate, channels, kBitsPerSample); })) {
      status = Fail("cannot open the sound device (is there one, and is it free?)");
    } else {
      status = PlayBytes(host, data, bytes, rate, channels);
      PlayStop();
    }
  }
  FreeWaveFileProc();
  return status;
}

int RunRecord(int argc, char** argv) {
  if (WantsHelp(argc, argv)) {
    std::fputs(kRecordUsage, stdout);
    return 0;
  }
  std::string path;
  double seconds = 0;
  int rate = kDefaultRate;
  int channels = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--seconds" && hasValue) {
      if (!ParsePositive(argv[++i], &seconds))
        return UsageError("record: --seconds wants a positive number");
    } else if (arg == "--rate" && hasValue) {
      if (!ParseInt(argv[++i], 1, kMaxRate, &rate))
        return UsageError("record: --rate wants 1 to 384000");
    } else if (arg == "--channels" && hasValue) {
      if (!ParseInt(argv[++i], 1, 2, &channels))
        return UsageError("record: --channels wants 1 or 2");
    } else if (arg.rfind("--", 0) == 0) {
      return UsageError("record: unknown or incomplete option " + arg);
    } else if (path.empty()) {
      path = arg;
    } else {
      return UsageError("record: too many arguments");
    }
  }
  if (path.empty()) return UsageError("record: no output file named");
  if (seconds <= 0) return UsageError("record: --seconds is required");
  const double wanted = std::floor(seconds * rate);
  const int64_t frameBytes = int64_t(channels) * kBytesPerSample;
  if (wanted < 1 || wanted * frameBytes > INT32_MAX)
    return UsageError("record: --seconds out of range");
  const int32_t frames = static_cast<int32_t>(wanted);
  std::vector<int16_t> samples(size_t(frames) * channels);

  InterruptGuard guard;
  NotificationPipe host;
  if (!host.ok()) return Fail("cannot create a pipe");
  if (!WithoutLibraryMessages([&] { return RecordOpen(host.Window(), rate, channels, kBitsPerSample); }))
    return Fail("cannot open the sound device (is there one, and is it free?)");
  const int32_t bytes = static_cast<int32_t>(frames * frameBytes);
  RecordData(samples.data(), bytes);
  NotificationPipe::Result result =
      host.WaitFor(kRecordingData, DurationMs(bytes, rate, channels) + kSlackMs);
  // Stopping hands back a buffer cut short by Ctrl-C with what it holds.
  if (RecordStop() != 1) return Fail("cannot close the sound device");
  if (result == NotificationPipe::kTimedOut) return Fail("the sound device stopped responding");
  const int32_t recorded = std::clamp(GetRecordBytes(), 0, bytes);
  return SaveRecording(path, samples, static_cast<int32_t>(recorded / frameBytes), rate, channels);
}
