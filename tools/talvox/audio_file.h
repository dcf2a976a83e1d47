// Audio files of every common format through libsndfile: what a file holds,
// its samples as the library's 16-bit values, and writing 16-bit signals in
// any format. Standard input ("-") and FIFOs are read as streams.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audio_format.h"

namespace tvx {

// The header of path (or of standard input for "-"); raw gives the layout
// of a headerless file. Fails with a one-line reason naming the format, and
// for what cannot be read, the command that converts it.
AudioFormat ProbeAudio(const std::string& path, const std::optional<AudioFormat>& raw);

// The same with the length counted by decoding every frame, as a command
// reading the file finds it.
AudioFormat ScanAudio(const std::string& path, const std::optional<AudioFormat>& raw);

// How many channels the wave buffer holds for a file of count channels: both
// of a stereo file, else the one analysed.
inline int HeldChannels(int count) { return count <= 2 ? count : 1; }

struct Samples16 {
  AudioFormat format;                          // of the file
  std::vector<std::vector<int16_t>> channels;  // one vector per channel (or the mix)
  bool converted = false;                      // not the file's own 16-bit values
  int64_t clipped = 0;                         // samples beyond the 16-bit range
};

// Reads every sample, each as round(x * 32768) with halves away from zero,
// clipped to -32768..32767, where x is the sample on the full scale -1..1
// (an integer of B bits is v / 2^(B-1)); NaN reads as 0. With mix, one
// channel: the mean of all channels, rounded once.
Samples16 ReadAudio16(const std::string& path, const std::optional<AudioFormat>& raw, bool mix);

// Why the library cannot take this signal (too long for its wave buffer,
// no samples), or empty when it can. libraryChannels: how many channels
// the wave buffer will hold.
std::string LibraryLimitProblem(const AudioFormat& format, int libraryChannels);

// Writes 16-bit channels as format (its rate, channels and encoding);
// 24- and 32-bit PCM and float hold the values exactly (v * 2^(B-16),
// v / 32768), 8-bit PCM rounds them. Fails naming target.
void WriteAudio16(const std::string& path, const std::string& target, const AudioFormat& format,
                  const std::vector<std::vector<int16_t>>& channels);

// The conversion command offered for a file talvox cannot take.
std::string SoxAdvice(const std::string& path, const std::string& what);

}  // namespace tvx
