// talvox info: what a WAV file holds, without reading its samples.
#include <cstdio>

#include "args.h"
#include "cli_error.h"
#include "commands.h"
#include "wav_probe.h"

namespace tvx {
namespace {

constexpr const char* kHelp =
    "usage: talvox info FILE.wav...\n"
    "\n"
    "Prints each file's format, sampling rate, channels and length in samples\n"
    "and seconds, and whether talvox can read it (16-bit PCM, mono or stereo).\n";

}  // namespace

int RunInfo(int argc, char** argv) {
  Args args("info", argc, argv, {});
  if (args.WantsHelp()) return PrintHelp(kHelp);
  if (args.Positional().empty()) FailUsage("info", "no file given");
  int status = 0;
  for (const std::string& path : args.Positional()) {
    try {
      WavFormat format = ProbeWav(path);
      uint64_t frameBytes = uint64_t(format.channels) * ((format.bits + 7) / 8);
      uint64_t frames = frameBytes ? format.dataBytes / frameBytes : 0;
      double seconds = format.rate ? double(frames) / format.rate : 0.0;
      bool readable = format.IsPcm() && format.bits == 16 && format.channels >= 1 && format.channels <= 2;
      std::printf("%s\n  format:   %s\n  rate:     %u Hz\n  channels: %u\n  length:   %llu samples, %.3f s\n"
                  "  readable: %s\n",
                  path.c_str(), format.Describe().c_str(), format.rate, format.channels,
                  static_cast<unsigned long long>(frames), seconds,
                  readable ? "yes" : "no (convert with: sox IN.wav -b 16 OUT.wav)");
    } catch (const CliError& error) {
      std::fprintf(stderr, "talvox: %s\n", error.what());
      status = error.status();
    }
  }
  return status;
}

}  // namespace tvx
