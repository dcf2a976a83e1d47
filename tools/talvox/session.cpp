#include "session.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "audio_file.h"
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

namespace {

constexpr int kMostChannels = 1024;

// The wave buffer's header for 16-bit samples at this rate, and its signal.
// Hands the channels to the library one by one, each released as soon as
// the library holds its copy, so a long stereo file never stands in memory
// more than once and a channel.
void PutSignal(std::vector<std::vector<int16_t>> channels, int rate) {
  uint16_t count = static_cast<uint16_t>(channels.size());
  TvxWaveHeader* header = GetWaveFileHead();
  header->formatTag = 1;
  header->samplesPerSec = static_cast<uint32_t>(rate);
  header->bitsPerSample = 16;
  header->blockAlign = static_cast<uint16_t>(2 * count);
  header->avgBytesPerSec = static_cast<uint32_t>(rate) * 2u * count;
  SetChannels(count);
  int32_t length = static_cast<int32_t>(channels[0].size());
  for (uint16_t c = 0; c < count; c++) {
    if (!SetDataBuffer(c, channels[c].data(), length))
      throw CliError(kExitFailure, "the signal could not be stored (out of memory?)");
    std::vector<int16_t>().swap(channels[c]);
  }
  SetWaveLength(length);  // a channel's store sets the data size of one channel
}

std::string ConversionNote(const Samples16& samples) {
  std::string note = samples.format.EncodingName() + " read as 16-bit";
  if (samples.channels.size() == 1 && samples.format.channels > 1)
    note += ", " + ChannelWords(samples.format.channels) + " mixed down to mono";
  else if (!samples.format.Is16BitPcm())
    note += " (rounded)";
  if (samples.clipped > 0) note += "; " + std::to_string(samples.clipped) + " samples clipped";
  return note;
}

}  // namespace

const char* const kAudioInputHelp =
    "\ninput: WAV (any PCM width, float, mu-law, A-law, extensible), RF64, W64,\n"
    "  AIFF, AU, CAF, FLAC, Ogg Vorbis, Opus, MP3 and more (libsndfile); '-'\n"
    "  reads standard input. Samples reach talvox as 16-bit (rounded, clipped).\n"
    "  --raw RATE,CHANNELS,ENCODING   a headerless file (ENCODING: s8, u8, s16,\n"
    "                        s24, s32, f32, f64, ulaw, alaw; append be for big-endian)\n"
    "  --channel N           the channel analysed (0 = first; any channel count)\n"
    "  --mix                 analyse and write a mono mix-down of all channels\n";

const char* const kAudioOutputHelp =
    "\noutput: the input's format, rate and channels unless changed by\n"
    "  --format NAME         wav, wavex, rf64, w64, aiff, au, caf, flac, ogg, opus,\n"
    "                        mp3, raw (default: the output name's extension, else\n"
    "                        the input's)\n"
    "  --bits B              8, 16, 24, 32 (PCM), float or double\n"
    "  talvox computes in 16 bits: a 24-bit or float output holds 16-bit values.\n";

AudioOptions ParseAudioOptions(const Args& args) {
  AudioOptions options;
  if (auto raw = args.Value("raw")) options.raw = ParseRawLayout(args.command(), *raw);
  options.channel = args.Integer("channel", 0, 0, kMostChannels - 1);
  options.mix = args.Has("mix");
  if (options.mix && args.Has("channel")) FailUsage(args.command(), "--mix and --channel exclude each other");
  return options;
}

std::vector<OptionSpec> WithAudioOptions(std::vector<OptionSpec> options, bool writesAudio) {
  options.insert(options.end(), {{"raw", 0, true}, {"mix", 0, false}});
  if (writesAudio) options.insert(options.end(), {{"format", 0, true}, {"bits", 0, true}});
  return options;
}

LoadedWave LoadWave(const std::string& path, const AudioOptions& options) {
  LoadedWave wave;
  wave.path = path;
  Samples16 samples = ReadAudio16(path, options.raw, options.mix);
  CheckInterrupted();
  const std::string name = path == "-" ? "standard input" : path;
  int count = static_cast<int>(samples.channels.size());
  if (options.channel >= count)
    FailFile(name, "has no channel " + std::to_string(options.channel) + " (it is " + ChannelWords(count) +
                       "; channels count from 0)");
  std::string problem = LibraryLimitProblem(samples.format, HeldChannels(count));
  if (!problem.empty()) FailFile(name, problem);
  if (samples.converted) std::fprintf(stderr, "talvox: %s: %s\n", name.c_str(), ConversionNote(samples).c_str());
  wave.format = samples.format;
  wave.rate = samples.format.rate;
  wave.channels = count;
  wave.fileChannel = options.channel;
  if (count <= 2) {
    PutSignal(std::move(samples.channels), wave.rate);
    wave.channel = options.channel;
  } else {
    PutSignal({samples.channels[size_t(options.channel)]}, wave.rate);
    wave.spare = std::move(samples.channels);
  }
  wave.length = GetWaveLength();
  if (wave.length <= 0) FailFile(name, "holds no samples");
  return wave;
}

int PutChannel(const LoadedWave& wave, int c) {
  if (wave.spare.empty()) return c;
  const auto& samples = wave.spare[size_t(c)];
  if (!SetDataBuffer(0, samples.data(), static_cast<int32_t>(samples.size())))
    throw CliError(kExitFailure, "the signal could not be stored (out of memory?)");
  return 0;
}

void RestoreAnalysedChannel(const LoadedWave& wave) {
  if (!wave.spare.empty()) PutChannel(wave, wave.fileChannel);
}

AudioFormat OutputAudioFormat(const Args& args, const LoadedWave& wave, const std::string& outputPath) {
  AudioFormat like = wave.format;
  like.channels = wave.channels;
  return ChooseOutputFormat(args.command(), like, outputPath, args.Value("format"), args.Value("bits"));
}

SingleInput LoadSingleInput(const Args& args, const std::string& command, const std::string& outputPath) {
  if (args.Positional().size() != 1) FailUsage(command, "give exactly one input file");
  AudioOptions options = ParseAudioOptions(args);
  { OutputFile check(outputPath); }
  SingleInput input{LoadWave(args.Positional()[0], options), Span{0, 0}};
  const LoadedWave& wave = input.wave;
  input.span = Span{0, wave.length};
  if (auto range = args.Value("range")) input.span = ParseSpan(command, *range, wave.rate, wave.length);
  return input;
}

std::vector<std::vector<int16_t>> CopyChannels(const LoadedWave& wave) {
  if (!wave.spare.empty()) return wave.spare;
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

namespace tvx {

void WriteWave(const std::string& path, std::vector<std::vector<int16_t>> channels, const AudioFormat& format) {
  if (format.IsLibraryWav() && channels.size() <= 2) return WriteWave(path, std::move(channels));
  OutputFile output(path);
  WriteAudio16(output.temp(), path, format, channels);
  output.Commit();
}

void WriteWaveBuffer(const std::string& path, const AudioFormat& format) {
  const int32_t length = GetWaveLength();
  const int channels = GetChannels();
  if (!format.IsLibraryWav() || length <= 0 || channels > 2) {
    std::vector<std::vector<int16_t>> copies;
    for (int c = 0; c < channels && length > 0; c++)
      copies.emplace_back(GetDataBuffer(c), GetDataBuffer(c) + length);
    return WriteWave(path, std::move(copies), format);
  }
  OutputFile output(path);
  if (!SaveWaveFile(1, output.temp().c_str(), 0, 0)) FailFile(path, "cannot be written (disk full?)");
  output.Commit();
}

}  // namespace tvx
