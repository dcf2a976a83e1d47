#include "audio_format.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "args.h"
#include "cli_error.h"

namespace tvx {
namespace {

constexpr int kLargestRawRate = (1 << 30) - 1;  // the byte rate must fit the WAV header
constexpr int kMostRawChannels = 1024;

struct ContainerEntry {
  const char* name;  // for --format
  int code;          // container | usual encoding
  const char* extensions;  // space separated, with the dot
  const char* title;       // as shown to users
};

const ContainerEntry kContainers[] = {
    {"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, ".wav .wave", "WAV"},
    {"wavex", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, "", "WAV (extensible)"},
    {"rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, ".rf64", "RF64"},
    {"w64", SF_FORMAT_W64 | SF_FORMAT_PCM_16, ".w64", "W64"},
    {"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, ".aiff .aif .aifc", "AIFF"},
    {"au", SF_FORMAT_AU | SF_FORMAT_PCM_16, ".au .snd", "AU"},
    {"caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16, ".caf", "CAF"},
    {"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, ".flac", "FLAC"},
    {"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, ".ogg .oga", "Ogg"},
    {"opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, ".opus", "Ogg"},
    {"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, ".mp3", "MPEG"},
    {"raw", SF_FORMAT_RAW | SF_FORMAT_PCM_16, ".raw .pcm", "headerless"},
};

struct EncodingEntry {
  const char* name;  // for --raw
  int code;
  const char* title;
};

const EncodingEntry kEncodings[] = {
    {"s8", SF_FORMAT_PCM_S8, "8-bit PCM"},
    {"u8", SF_FORMAT_PCM_U8, "8-bit unsigned PCM"},
    {"s16", SF_FORMAT_PCM_16, "16-bit PCM"},
    {"s24", SF_FORMAT_PCM_24, "24-bit PCM"},
    {"s32", SF_FORMAT_PCM_32, "32-bit PCM"},
    {"f32", SF_FORMAT_FLOAT, "32-bit float"},
    {"f64", SF_FORMAT_DOUBLE, "64-bit float"},
    {"ulaw", SF_FORMAT_ULAW, "mu-law"},
    {"alaw", SF_FORMAT_ALAW, "A-law"},
    {"", SF_FORMAT_IMA_ADPCM, "IMA ADPCM"},
    {"", SF_FORMAT_MS_ADPCM, "Microsoft ADPCM"},
    {"", SF_FORMAT_GSM610, "GSM 6.10"},
    {"", SF_FORMAT_VORBIS, "Vorbis"},
    {"", SF_FORMAT_OPUS, "Opus"},
    {"", SF_FORMAT_MPEG_LAYER_I, "MPEG layer I"},
    {"", SF_FORMAT_MPEG_LAYER_II, "MPEG layer II"},
    {"", SF_FORMAT_MPEG_LAYER_III, "MP3"},
};

const ContainerEntry* FindContainer(int code) {
  for (const ContainerEntry& c : kContainers)
    if ((c.code & SF_FORMAT_TYPEMASK) == code) return &c;
  return nullptr;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

bool Writable(int code, int rate, int channels) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = code;
  return sf_format_check(&info) != 0;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == separator) parts.emplace_back();
    else parts.back().push_back(c);
  }
  return parts;
}

}  // namespace

const char* const kFormatNames = "wav, wavex, rf64, w64, aiff, au, caf, flac, ogg, opus, mp3, raw";

int AudioFormat::Container() const { return code & SF_FORMAT_TYPEMASK; }
int AudioFormat::Encoding() const { return code & SF_FORMAT_SUBMASK; }

std::string AudioFormat::ContainerName() const {
  if (const ContainerEntry* c = FindContainer(Container())) return c->title;
  SF_FORMAT_INFO info{};
  info.format = Container();
  if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name) return info.name;
  return "unknown container";
}

std::string AudioFormat::EncodingName() const {
  for (const EncodingEntry& e : kEncodings)
    if (e.code == Encoding()) return e.title;
  SF_FORMAT_INFO info{};
  info.format = Encoding();
  if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name) return info.name;
  return "unknown encoding";
}

std::string AudioFormat::Describe() const {
  std::string kind;
  if (Container() == SF_FORMAT_OGG) kind = "Ogg " + EncodingName();
  else if (Container() == SF_FORMAT_MPEG) kind = EncodingName();
  else if (Container() == SF_FORMAT_RAW) kind = "headerless " + EncodingName();
  else kind = EncodingName() + " " + ContainerName();
  return kind + ", " + std::to_string(rate) + " Hz, " + ChannelWords(channels);
}

bool AudioFormat::IsLibraryWav() const {
  return Container() == SF_FORMAT_WAV && Encoding() == SF_FORMAT_PCM_16 && channels >= 1 && channels <= 2;
}

bool AudioFormat::Is16BitPcm() const { return Encoding() == SF_FORMAT_PCM_16; }

std::string ChannelWords(int channels) {
  if (channels == 1) return "mono";
  if (channels == 2) return "stereo";
  return std::to_string(channels) + " channels";
}

AudioFormat ParseRawLayout(const std::string& command, const std::string& text) {
  std::vector<std::string> parts = Split(text, ',');
  const std::string usage = "--raw wants RATE,CHANNELS,ENCODING (e.g. 16000,1,s16); ENCODING is s8, u8, s16, "
                            "s24, s32, f32, f64, ulaw or alaw, with 'be' appended for big-endian";
  if (parts.size() != 3) FailUsage(command, usage);
  AudioFormat format;
  format.rate = static_cast<int>(ParseNumber(command, "--raw rate", parts[0], 1, kLargestRawRate));
  format.channels = static_cast<int>(ParseNumber(command, "--raw channels", parts[1], 1, kMostRawChannels));
  if (format.rate != std::stod(parts[0]) || format.channels != std::stod(parts[1]))
    FailUsage(command, "--raw rate and channels are whole numbers");
  std::string name = Lower(parts[2]);
  int order = SF_ENDIAN_LITTLE;
  if (name.size() > 2 && (name.compare(name.size() - 2, 2, "be") == 0 || name.compare(name.size() - 2, 2, "le") == 0)) {
    if (name.compare(name.size() - 2, 2, "be") == 0) order = SF_ENDIAN_BIG;
    name.resize(name.size() - 2);
  }
  if (name == "mu-law" || name == "mulaw") name = "ulaw";
  if (name == "a-law") name = "alaw";
  for (const EncodingEntry& e : kEncodings)
    if (!std::string(e.name).empty() && name == e.name) {
      format.code = SF_FORMAT_RAW | e.code | order;
      return format;
    }
  FailUsage(command, usage);
}

std::optional<int> ContainerByName(const std::string& name) {
  for (const ContainerEntry& c : kContainers)
    if (Lower(name) == c.name) return c.code;
  return std::nullopt;
}

std::optional<int> ContainerByExtension(const std::string& path) {
  size_t dot = path.rfind('.');
  size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
  std::string extension = Lower(path.substr(dot));
  for (const ContainerEntry& c : kContainers)
    for (const std::string& known : Split(c.extensions, ' '))
      if (!known.empty() && known == extension) return c.code;
  return std::nullopt;
}

int EncodingByBits(const std::string& command, const std::string& text) {
  const std::pair<const char*, int> kBits[] = {{"8", SF_FORMAT_PCM_S8},   {"16", SF_FORMAT_PCM_16},
                                               {"24", SF_FORMAT_PCM_24},  {"32", SF_FORMAT_PCM_32},
                                               {"float", SF_FORMAT_FLOAT}, {"double", SF_FORMAT_DOUBLE}};
  for (const auto& [name, code] : kBits)
    if (Lower(text) == name) return code;
  FailUsage(command, "--bits takes 8, 16, 24, 32 (PCM), float or double, not '" + text + "'");
}

AudioFormat ChooseOutputFormat(const std::string& command, const AudioFormat& input, const std::string& outputPath,
                               const std::optional<std::string>& formatName,
                               const std::optional<std::string>& bits) {
  AudioFormat output = input;
  std::optional<int> chosen;
  if (formatName) {
    chosen = ContainerByName(*formatName);
    if (!chosen) FailUsage(command, "--format takes " + std::string(kFormatNames) + ", not '" + *formatName + "'");
  } else if (outputPath != "-") {
    chosen = ContainerByExtension(outputPath);
  }
  int container = input.Container(), encoding = input.Encoding();
  int order = input.code & SF_FORMAT_ENDMASK;
  if (chosen && (*chosen & SF_FORMAT_TYPEMASK) != container) {
    container = *chosen & SF_FORMAT_TYPEMASK;
    order = 0;
    // Ogg and MP3 name their codec: an Opus request must not stay Vorbis.
    if (container == SF_FORMAT_OGG || container == SF_FORMAT_MPEG) encoding = *chosen & SF_FORMAT_SUBMASK;
  } else if (chosen && container == SF_FORMAT_OGG) {
    encoding = *chosen & SF_FORMAT_SUBMASK;
  }
  if (bits) encoding = EncodingByBits(command, *bits);
  output.code = container | encoding | order;
  if (Writable(output.code, output.rate, output.channels)) return output;
  if (encoding == SF_FORMAT_PCM_S8 && Writable(container | SF_FORMAT_PCM_U8 | order, output.rate, output.channels)) {
    output.code = container | SF_FORMAT_PCM_U8 | order;  // WAV's 8 bits are unsigned
    return output;
  }
  const ContainerEntry* usual = FindContainer(container);
  AudioFormat asked = output;
  if (!bits && usual) {
    output.code = usual->code;
    if (Writable(output.code, output.rate, output.channels)) return output;
  }
  FailUsage(command, "cannot write " + asked.Describe() + "; choose another --format or --bits");
}

}  // namespace tvx
