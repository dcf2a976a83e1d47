#include "wav_probe.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli_error.h"

namespace tvx {
namespace {

constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagFloat = 3;
constexpr uint16_t kTagExtensible = 0xFFFE;
constexpr uint32_t kMaxChunkWalk = 10000;  // a corrupt file must not loop for long

uint32_t U32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t U16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

std::string ChannelWords(int channels) {
  if (channels == 1) return "mono";
  if (channels == 2) return "stereo";
  return std::to_string(channels) + " channels";
}

}  // namespace

bool WavFormat::IsPcm() const {
  return formatTag == kTagPcm || (formatTag == kTagExtensible && subFormat == kTagPcm);
}

std::string WavFormat::Describe() const {
  std::string kind = IsPcm() ? "PCM"
                     : (formatTag == kTagFloat || subFormat == kTagFloat) ? "floating-point"
                                                                            : "format " + std::to_string(formatTag);
  return std::to_string(bits) + "-bit " + kind + ", " + std::to_string(rate) + " Hz, " + ChannelWords(channels);
}

WavFormat ProbeWav(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) FailFile(path, SystemMessage(errno));
  if (S_ISDIR(info.st_mode)) FailFile(path, "is a folder, not a WAV file");
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) FailFile(path, SystemMessage(errno));
  if (info.st_size == 0) FailFile(path, "empty file");

  WavFormat format;
  format.fileBytes = static_cast<uint64_t>(info.st_size);
  unsigned char head[12];
  if (std::fread(head, 1, 12, file.get()) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0)
    FailFile(path, "not a WAV file (no RIFF/WAVE header)");

  bool haveFormat = false, haveData = false;
  uint64_t offset = 12;
  for (uint32_t walked = 0; walked < kMaxChunkWalk && !haveData; walked++) {
    unsigned char chunk[8];
    if (std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0 ||
        std::fread(chunk, 1, 8, file.get()) != 8)
      break;
    uint32_t size = U32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      unsigned char body[40] = {0};
      size_t want = size < sizeof body ? size : sizeof body;
      if (size < 16 || std::fread(body, 1, want, file.get()) != want) FailFile(path, "damaged WAV format chunk");
      format.formatTag = U16(body);
      format.channels = U16(body + 2);
      format.rate = U32(body + 4);
      format.bits = U16(body + 14);
      if (format.formatTag == kTagExtensible && want >= 26) format.subFormat = U16(body + 24);
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      uint64_t present = format.fileBytes - (offset + 8);
      format.dataBytes = size < present ? size : present;
      haveData = true;
    }
    offset += 8 + uint64_t(size) + (size & 1);
  }
  if (!haveFormat) FailFile(path, "damaged WAV file (no format chunk)");
  if (!haveData) FailFile(path, "damaged WAV file (no data chunk)");
  return format;
}

void RequireReadableFormat(const std::string& path, const WavFormat& format) {
  if (!format.IsPcm() || format.bits != 16)
    FailFile(path, "not a 16-bit PCM WAV file (" + format.Describe() + "); convert it with: sox '" + path +
                       "' -b 16 converted.wav");
  if (format.channels < 1 || format.channels > 2)
    FailFile(path, "has " + std::to_string(format.channels) + " channels; talvox reads mono or stereo (sox '" +
                       path + "' -c 1 converted.wav mixes it down)");
  if (format.rate == 0) FailFile(path, "damaged WAV file (sampling rate 0)");
  if (format.dataBytes < 2u * format.channels) FailFile(path, "holds no samples");
}

}  // namespace tvx
