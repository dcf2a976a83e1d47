// The library's one document per process, set up and released as a host
// does, and the loading of a WAV file into it with clear errors.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "args.h"
#include "audio_format.h"

namespace tvx {

class LibrarySession {
 public:
  LibrarySession();
  ~LibrarySession();
  LibrarySession(const LibrarySession&) = delete;
  LibrarySession& operator=(const LibrarySession&) = delete;
  // Forgets the annotation of the previous file (a new document).
  void ResetDocument();
};

// How an input is read: --raw layout, the channel analysed, --mix.
struct AudioOptions {
  std::optional<AudioFormat> raw;
  int channel = 0;
  bool mix = false;
};
// --raw and --mix, and --channel N (any channel of the file).
AudioOptions ParseAudioOptions(const Args& args);
// The options above plus --format and --bits (for commands that write audio),
// appended to a command's own.
std::vector<OptionSpec> WithAudioOptions(std::vector<OptionSpec> options, bool writesAudio);
// The --help lines of those options.
extern const char* const kAudioInputHelp;
extern const char* const kAudioOutputHelp;

struct LoadedWave {
  std::string path;
  AudioFormat format;  // of the file
  int rate = 0;
  int channels = 0;    // of the signal: the file's, or 1 when mixed down
  int32_t length = 0;  // samples per channel
  int channel = 0;     // the wave buffer's index of the channel analysed
  int fileChannel = 0; // the same channel as the file numbers it
  // Every channel, kept by the host when the file has more than the wave
  // buffer holds (it then holds the analysed channel alone).
  std::vector<std::vector<int16_t>> spare;
  double Seconds() const { return rate > 0 ? double(length) / rate : 0.0; }
};

// Reads path ("-": standard input) into the wave buffer as 16-bit samples;
// fails with a one-line reason. Says on standard error when the samples
// were converted.
LoadedWave LoadWave(const std::string& path, const AudioOptions& options = {});

// Puts channel c of the signal where the library can work on it and
// returns its wave-buffer index; RestoreAnalysedChannel undoes it.
int PutChannel(const LoadedWave& wave, int c);
void RestoreAnalysedChannel(const LoadedWave& wave);

// The output's format for a command that writes audio: the input's by
// default, --format, the output name's extension and --bits change it.
AudioFormat OutputAudioFormat(const Args& args, const LoadedWave& wave, const std::string& outputPath);

// The one input of a command that writes one output: loads it, checks that
// it has the channel, takes the span from --range (the whole file when none
// is given) and fails before any work when outputPath cannot be written.
struct SingleInput {
  LoadedWave wave;
  Span span;
};
SingleInput LoadSingleInput(const Args& args, const std::string& command, const std::string& outputPath);

// Copies of the channels of the signal.
std::vector<std::vector<int16_t>> CopyChannels(const LoadedWave& wave);

// Replaces the wave buffer's signal with these channels (same count as the
// file had) and writes it as a WAV file through a temporary name.
// The channels are released as soon as the wave buffer holds them.
void WriteWave(const std::string& path, std::vector<std::vector<int16_t>> channels);
// The same in any format: a 16-bit WAV of one or two channels goes through
// the library, everything else through libsndfile.
void WriteWave(const std::string& path, std::vector<std::vector<int16_t>> channels, const AudioFormat& format);
// Writes the wave buffer's signal as it stands, in any format.
void WriteWaveBuffer(const std::string& path, const AudioFormat& format);

}  // namespace tvx
