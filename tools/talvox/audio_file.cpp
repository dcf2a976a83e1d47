#include "audio_file.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>

#include "cli_error.h"
#include "input_stream.h"
#include "output.h"

namespace tvx {
namespace {

constexpr sf_count_t kBlockFrames = 1 << 14;
constexpr double kFullScale = 32768.0;  // a 16-bit sample of value v is v / 32768
// The wave buffer counts its data in bytes in 32 bits, and its reader stops
// below 2 GiB: the same limit for a signal the host puts there.
constexpr int64_t kLargestLibraryBytes = (int64_t(1) << 31) - 1;
// The WAV header's byte rate (4 bytes per stereo frame) must fit 32 bits.
constexpr int kHighestRate = (1 << 30) - 1;

// A stream held in memory, as libsndfile's virtual file.
struct MemoryFile {
  std::string bytes;
  sf_count_t position = 0;
};

sf_count_t MemoryLength(void* user) { return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size()); }

sf_count_t MemorySeek(sf_count_t offset, int whence, void* user) {
  auto* file = static_cast<MemoryFile*>(user);
  sf_count_t base = whence == SEEK_CUR ? file->position : whence == SEEK_END ? MemoryLength(user) : 0;
  sf_count_t target = base + offset;
  if (target < 0 || target > MemoryLength(user)) return -1;
  return file->position = target;
}

sf_count_t MemoryRead(void* out, sf_count_t count, void* user) {
  auto* file = static_cast<MemoryFile*>(user);
  sf_count_t left = MemoryLength(user) - file->position;
  sf_count_t taken = std::max<sf_count_t>(0, std::min(count, left));
  std::memcpy(out, file->bytes.data() + file->position, static_cast<size_t>(taken));
  file->position += taken;
  return taken;
}

sf_count_t MemoryWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t MemoryTell(void* user) { return static_cast<MemoryFile*>(user)->position; }

struct SoundFileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};

// An open input: libsndfile's handle and, for a stream, its bytes.
struct OpenInput {
  std::unique_ptr<MemoryFile> memory;
  std::unique_ptr<SNDFILE, SoundFileCloser> file;
  SF_INFO info{};
};

std::string DisplayName(const std::string& path) { return path == "-" ? "standard input" : path; }

// Refuses what is not a file or a stream at once, and reads a stream whole.
std::unique_ptr<MemoryFile> StreamOrNothing(const std::string& path) {
  struct stat status;
  if (path == "-") {
    if (isatty(STDIN_FILENO)) FailFile(DisplayName(path), "is a terminal; pipe audio into talvox, or name a file");
    if (fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode)) return nullptr;
    auto memory = std::make_unique<MemoryFile>();
    memory->bytes = ReadStream(STDIN_FILENO, DisplayName(path), false);
    return memory;
  }
  if (stat(path.c_str(), &status) != 0) FailFile(path, SystemMessage(errno));
  if (S_ISDIR(status.st_mode)) FailFile(path, "is a folder, not an audio file");
  if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode))
    FailFile(path, "is a device, not an audio file (to read a stream from it: cat '" + path + "' | talvox ... -)");
  if (S_ISFIFO(status.st_mode)) {
    int fd = OpenFifo(path);
    auto memory = std::make_unique<MemoryFile>();
    try {
      memory->bytes = ReadStream(fd, path, true);
    } catch (...) {
      close(fd);
      throw;
    }
    close(fd);
    return memory;
  }
  if (!S_ISREG(status.st_mode)) FailFile(path, "is not a regular file");
  if (access(path.c_str(), R_OK) != 0) FailFile(path, SystemMessage(errno));
  if (status.st_size == 0) FailFile(path, "empty file");
  return nullptr;
}

void Open(OpenInput& input, const std::string& path, const std::optional<AudioFormat>& raw) {
  input.memory = StreamOrNothing(path);
  if (input.memory && input.memory->bytes.empty()) FailFile(DisplayName(path), "holds no data");
  if (raw) {
    input.info.samplerate = raw->rate;
    input.info.channels = raw->channels;
    input.info.format = raw->code;
  }
  SNDFILE* file = nullptr;
  if (input.memory) {
    SF_VIRTUAL_IO io{MemoryLength, MemorySeek, MemoryRead, MemoryWrite, MemoryTell};
    file = sf_open_virtual(&io, SFM_READ, &input.info, input.memory.get());
  } else if (path == "-") {
    file = sf_open_fd(STDIN_FILENO, SFM_READ, &input.info, 0);
  } else {
    file = sf_open(path.c_str(), SFM_READ, &input.info);
  }
  if (!file) {
    std::string reason = sf_strerror(nullptr);
    if (raw) FailFile(DisplayName(path), "cannot be read as " + raw->EncodingName() + " (" + reason + ")");
    FailFile(DisplayName(path), "not an audio file talvox can read (" + reason + "); " +
                                    SoxAdvice(path, "if sox or ffmpeg reads it, convert it") +
                                    " (headerless samples need --raw RATE,CHANNELS,ENCODING)");
  }
  input.file.reset(file);
  sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, SF_TRUE);
}

AudioFormat FormatOf(const SF_INFO& info) {
  AudioFormat format;
  format.code = info.format;
  format.rate = info.samplerate;
  format.channels = info.channels;
  format.frames = info.frames;
  return format;
}

void CheckHeader(const std::string& path, const AudioFormat& format) {
  if (format.rate <= 0) FailFile(DisplayName(path), "damaged header (sampling rate " + std::to_string(format.rate) + ")");
  if (format.rate > kHighestRate)
    FailFile(DisplayName(path), "sampling rate " + std::to_string(format.rate) + " Hz is beyond what talvox handles");
  if (format.channels <= 0) FailFile(DisplayName(path), "damaged header (no channels)");
}

int16_t To16(double x, int64_t& clipped) {
  if (std::isnan(x)) return 0;
  double scaled = std::round(x * kFullScale);  // halves away from zero
  if (scaled > INT16_MAX || scaled < INT16_MIN) {
    clipped++;
    return scaled > 0 ? INT16_MAX : INT16_MIN;
  }
  return static_cast<int16_t>(scaled);
}

// libsndfile turns a 16-bit value into 8 bits by dropping the low byte;
// rounding it here first makes that exact.
int16_t RoundTo8Bits(int16_t value) {
  long rounded = std::lround(value / 256.0);
  return static_cast<int16_t>(std::clamp(rounded, -128L, 127L) * 256);
}

// Decodes every frame block by block; returns the frames decoded. Stops
// once a single channel would pass the wave buffer's limit.
template <typename OnBlock>
int64_t DecodeBlocks(OpenInput& input, OnBlock onBlock) {
  const int channels = input.info.channels;
  std::vector<double> block(size_t(kBlockFrames) * size_t(channels));
  int64_t total = 0;
  for (;;) {
    CheckInterrupted();
    sf_count_t got = sf_readf_double(input.file.get(), block.data(), kBlockFrames);
    if (got <= 0) break;
    total += got;
    onBlock(block.data(), got);
    if (total * 2 * HeldChannels(channels) > kLargestLibraryBytes) break;
  }
  return total;
}

}  // namespace

AudioFormat ProbeAudio(const std::string& path, const std::optional<AudioFormat>& raw) {
  OpenInput input;
  Open(input, path, raw);
  AudioFormat format = FormatOf(input.info);
  CheckHeader(path, format);
  return format;
}

AudioFormat ScanAudio(const std::string& path, const std::optional<AudioFormat>& raw) {
  OpenInput input;
  Open(input, path, raw);
  AudioFormat format = FormatOf(input.info);
  CheckHeader(path, format);
  format.frames = DecodeBlocks(input, [](const double*, sf_count_t) {});
  return format;
}

Samples16 ReadAudio16(const std::string& path, const std::optional<AudioFormat>& raw, bool mix) {
  OpenInput input;
  Open(input, path, raw);
  Samples16 result;
  result.format = FormatOf(input.info);
  CheckHeader(path, result.format);
  const int channels = result.format.channels;
  result.channels.resize(mix ? 1 : size_t(channels));
  if (result.format.frames > 0 && result.format.frames < kLargestLibraryBytes)
    for (auto& channel : result.channels) channel.reserve(size_t(result.format.frames));
  int64_t total = DecodeBlocks(input, [&](const double* block, sf_count_t got) {
    for (sf_count_t i = 0; i < got; i++) {
      const double* frame = block + size_t(i) * size_t(channels);
      if (mix) {
        double sum = 0;
        for (int c = 0; c < channels; c++) sum += frame[c];
        result.channels[0].push_back(To16(sum / channels, result.clipped));
      } else {
        for (int c = 0; c < channels; c++) result.channels[size_t(c)].push_back(To16(frame[c], result.clipped));
      }
    }
  });
  result.format.frames = total;
  result.converted = mix || !result.format.Is16BitPcm();
  return result;
}

std::string LibraryLimitProblem(const AudioFormat& format, int libraryChannels) {
  if (format.frames <= 0) return "holds no samples";
  if (format.frames * 2 * libraryChannels > kLargestLibraryBytes) {
    int64_t seconds = kLargestLibraryBytes / (2 * int64_t(libraryChannels) * format.rate);
    return "too long for talvox (" + std::to_string(format.frames) + " samples per channel; at most " +
           std::to_string(seconds) + " s at this rate and channel count); split it, e.g. sox IN OUT trim 0 " +
           std::to_string(seconds);
  }
  return "";
}

void WriteAudio16(const std::string& path, const std::string& target, const AudioFormat& format,
                  const std::vector<std::vector<int16_t>>& channels) {
  SF_INFO info{};
  info.samplerate = format.rate;
  info.channels = static_cast<int>(channels.size());
  info.format = format.code;
  std::unique_ptr<SNDFILE, SoundFileCloser> file(sf_open(path.c_str(), SFM_WRITE, &info));
  if (!file) FailFile(target, std::string("cannot be written as ") + format.Describe() + " (" + sf_strerror(nullptr) + ")");
  bool eightBit = format.Encoding() == SF_FORMAT_PCM_S8 || format.Encoding() == SF_FORMAT_PCM_U8;
  // libsndfile stores shorts in a float file unscaled: give it v / 32768.
  bool floating = format.Encoding() == SF_FORMAT_FLOAT || format.Encoding() == SF_FORMAT_DOUBLE;
  size_t length = channels.empty() ? 0 : channels[0].size();
  std::vector<int16_t> block;
  std::vector<double> scaled;
  for (size_t first = 0; first < length; first += kBlockFrames) {
    CheckInterrupted();
    size_t count = std::min<size_t>(kBlockFrames, length - first);
    block.clear();
    for (size_t i = first; i < first + count; i++)
      for (const auto& channel : channels) block.push_back(eightBit ? RoundTo8Bits(channel[i]) : channel[i]);
    sf_count_t written = 0;
    if (floating) {
      scaled.assign(block.begin(), block.end());
      for (double& value : scaled) value /= kFullScale;
      written = sf_writef_double(file.get(), scaled.data(), sf_count_t(count));
    } else {
      written = sf_writef_short(file.get(), block.data(), sf_count_t(count));
    }
    if (written != sf_count_t(count))
      FailFile(target, std::string("cannot be written (") + sf_strerror(file.get()) + ")");
  }
  if (sf_close(file.release()) != 0) FailFile(target, "cannot be written (disk full?)");
}

std::string SoxAdvice(const std::string& path, const std::string& what) {
  std::string quoted = path == "-" ? "-" : "'" + path + "'";
  return what + " with: sox " + quoted + " -b 16 converted.wav";
}

}  // namespace tvx
