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
    // Each channel is handed over and released in turn, so the library's
    // copy never stands beside both of ours and an interleaved third.
    SetChannels(static_cast<uint16_t>(channels.size()));
    for (size_t c = 0; c < channels.size(); c++) {
      if (!SetDataBuffer(static_cast<int32_t>(c), channels[c].data(), static_cast<int32_t>(length)))
        FailFile(path, "the signal could not be stored");
      channels[c] = std::vector<int16_t>();
    }
    SetWaveLength(static_cast<int32_t>(length));
    if (!SaveWaveFile(1, output.temp().c_str(), 0, 0)) FailFile(path, "cannot be written (disk full?)");
  }
  output.Commit();
}

}  // namespace tvx
