#include "session.h"

#include <algorithm>

#include "cli_error.h"
#include "output.h"
#include "talvox.h"

namespace tvx {

LibrarySession::LibrarySession() {
  InitWaveFileProc();
  InitTalvox();
  InitSpeechBackup();
}

LibrarySession::~LibrarySession() {
  FreeSpeechBackup();
  FreeTalvox();
  FreeWaveFileProc();
}

void LibrarySession::ResetDocument() { InitTalvox(); }

LoadedWave LoadWave(const std::string& path) {
  LoadedWave wave;
  wave.path = path;
  wave.format = ProbeWav(path);
  RequireReadableFormat(path, wave.format);
  constexpr uint64_t kLargestFile = (1ull << 31) - 1;  // the reader's limit
  if (wave.format.fileBytes > kLargestFile) FailFile(path, "too large (2 GiB or more); split it with sox first");
  if (!ReadWaveFile(1, path.c_str(), 0, 0)) FailFile(path, "the WAV file could not be read (damaged?)");
  CheckInterrupted();
  wave.rate = GetSamplesPerSec();
  wave.channels = GetChannels();
  wave.length = GetWaveLength();
  if (wave.length <= 0) FailFile(path, "holds no samples");
  return wave;
}

SingleInput LoadSingleInput(const Args& args, const std::string& command, int channel,
                            const std::string& outputPath) {
  if (args.Positional().size() != 1) FailUsage(command, "give exactly one input file");
  SingleInput input{LoadWave(args.Positional()[0]), Span{0, 0}};
  const LoadedWave& wave = input.wave;
  if (channel >= wave.channels) FailFile(wave.path, "has no channel " + std::to_string(channel));
  input.span = Span{0, wave.length};
  if (auto range = args.Value("range")) input.span = ParseSpan(command, *range, wave.rate, wave.length);
  { OutputFile check(outputPath); }
  return input;
}

std::vector<std::vector<int16_t>> CopyChannels(const LoadedWave& wave) {
  std::vector<std::vector<int16_t>> channels;
  for (int c = 0; c < wave.channels; c++) {
    const int16_t* samples = GetDataBuffer(c);
    channels.emplace_back(samples, samples + wave.length);
  }
  return channels;
}

void WriteWave(const std::string& path, std::vector<std::vector<int16_t>> channels) {
  OutputFile output(path);
  size_t length = channels.empty() ? 0 : channels[0].size();
  if (length == 0) {
    // The wave buffer cannot hold an empty signal; write the header alone.
    SetWaveLength(0);
    if (!SaveWaveFile(3, output.temp().c_str(), 0, 0)) FailFile(path, "cannot be written");
  } else {
    // One channel is stored as it is, two as interleaved frames (index 2).
    std::vector<int16_t> frames;
    if (channels.size() == 2) {
      frames.reserve(2 * length);
      for (size_t i = 0; i < length; i++) frames.insert(frames.end(), {channels[0][i], channels[1][i]});
      channels[0] = std::vector<int16_t>();
      channels[1] = std::vector<int16_t>();
    }
    const int16_t* samples = channels.size() == 2 ? frames.data() : channels[0].data();
    SetChannels(static_cast<uint16_t>(channels.size()));
    if (!SetDataBuffer(channels.size() == 2 ? 2 : 0, samples, static_cast<int32_t>(length)))
      FailFile(path, "the signal could not be stored");
    channels.clear();
    frames = std::vector<int16_t>();
    if (!SaveWaveFile(1, output.temp().c_str(), 0, 0)) FailFile(path, "cannot be written (disk full?)");
  }
  output.Commit();
}

}  // namespace tvx
