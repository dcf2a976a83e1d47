// Names of audio containers and sample encodings as users know them, and
// the --format, --bits and --raw option values, in terms of libsndfile's
// format codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tvx {

struct AudioFormat {
  int code = 0;  // libsndfile: container | encoding | byte order
  int rate = 0;
  int channels = 0;
  int64_t frames = 0;

  int Container() const;
  int Encoding() const;
  std::string ContainerName() const;  // "WAV", "RF64", "FLAC", ...
  std::string EncodingName() const;   // "24-bit PCM", "mu-law", "32-bit float"
  // "24-bit PCM WAV, 48000 Hz, stereo"
  std::string Describe() const;
  // The library's own sample format: 16-bit PCM in a WAV container.
  bool IsLibraryWav() const;
  // The encoding holds exactly the 16-bit values (no rounding on reading).
  bool Is16BitPcm() const;
};

std::string ChannelWords(int channels);

// --raw RATE,CHANNELS,ENCODING, e.g. 16000,1,s16 or 44100,2,f32be. Throws a
// usage error naming the accepted encodings.
AudioFormat ParseRawLayout(const std::string& command, const std::string& text);

// --format NAME: the container code (with its usual encoding when the
// encoding of the input cannot go into it).
std::optional<int> ContainerByName(const std::string& name);
// The container a file name's extension asks for ("x.flac"), if any.
std::optional<int> ContainerByExtension(const std::string& path);
// --bits 8|16|24|32|float|double: the encoding code.
int EncodingByBits(const std::string& command, const std::string& text);

// The output's format: the input's container, rate, channels and encoding,
// with the container replaced by --format or the output name's extension
// and the encoding by --bits; an encoding the new container cannot hold
// becomes that container's usual one. Throws when no valid format results.
AudioFormat ChooseOutputFormat(const std::string& command, const AudioFormat& input, const std::string& outputPath,
                               const std::optional<std::string>& formatName,
                               const std::optional<std::string>& bits);

// The list shown in --help: names accepted by --format.
extern const char* const kFormatNames;

}  // namespace tvx
