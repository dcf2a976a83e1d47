// talvox info: what an audio file holds, and whether talvox takes it.
#include <cstdio>

#include "args.h"
#include "audio_file.h"
#include "cli_error.h"
#include "commands.h"
#include "session.h"

namespace tvx {
namespace {

constexpr const char* kHelp =
    "usage: talvox info FILE... [--raw RATE,CHANNELS,ENCODING]\n"
    "\n"
    "Prints each file's container, sample format, sampling rate, channels and\n"
    "length in samples and seconds (counted by decoding it, as every command\n"
    "reads it), and whether talvox takes it and how: the commands read exactly\n"
    "the files marked readable. '-' reads standard input.\n";

const std::vector<OptionSpec> kOptions = {{"raw", 0, true}};

std::string HowRead(const AudioFormat& format) {
  std::string problem = LibraryLimitProblem(format, HeldChannels(format.channels));
  if (!problem.empty()) return "no: " + problem;
  std::string how = "yes";
  if (!format.Is16BitPcm()) how += ", as 16-bit (rounded)";
  if (format.channels > 2) how += ", one channel at a time (--channel N) or mixed down (--mix)";
  return how;
}

}  // namespace

int RunInfo(int argc, char** argv) {
  Args args("info", argc, argv, kOptions);
  if (args.WantsHelp()) return PrintHelp(std::string(kHelp) + kAudioInputHelp);
  if (args.Positional().empty()) FailUsage("info", "no file given");
  std::optional<AudioFormat> raw;
  if (auto layout = args.Value("raw")) raw = ParseRawLayout("info", *layout);
  int status = 0;
  for (const std::string& path : args.Positional()) {
    try {
      AudioFormat format = ScanAudio(path, raw);
      double seconds = double(format.frames) / format.rate;
      std::printf("%s\n  format:    %s, %d Hz, %s\n  container: %s\n  rate:      %d Hz\n  channels:  %d\n"
                  "  length:    %lld samples, %.3f s\n  readable:  %s\n",
                  path == "-" ? "standard input" : path.c_str(), format.EncodingName().c_str(), format.rate,
                  ChannelWords(format.channels).c_str(), format.ContainerName().c_str(), format.rate,
                  format.channels, static_cast<long long>(format.frames), seconds, HowRead(format).c_str());
    } catch (const CliError& error) {
      std::fprintf(stderr, "talvox: %s\n", error.what());
      status = error.status();
    }
  }
  return status;
}

}  // namespace tvx
