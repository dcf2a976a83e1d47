// talvox: the command-line host of the library.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "cli_error.h"
#include "commands.h"
#include "output.h"
#include "cmd_audio.h"

namespace {

constexpr const char* kOverview =
    "usage: talvox COMMAND [ARGS...]\n"
    "\n"
    "Annotation, analysis, editing and pitch-synchronous resynthesis of speech.\n"
    "\n"
    "commands:\n"
    "  info FILE.wav...        format, rate, channels and length\n"
    "  analyze IN.wav...       segmentation, pitch marks, element table (-j N for many files)\n"
    "  resynth IN.wav -o OUT   new pitch, timing kept: --pitch-scale X | --semitones S | --f0 HZ | --contour FILE | --tones 55,35,214,51\n"
    "  collect IN.wav -o OUT   the speech with its silences halved\n"
    "  edit IN.wav -o OUT OPS  cut/copy/paste/delete with the annotation kept in step\n"
    "  plot IN.wav -o OUT.png  waveform, elements, marks, F0 and spectrogram (.svg .png .pdf)\n"
    "  view IN.wav             the speech editor in the web browser\n"
    "  play IN.wav             play a file on the sound card\n"
    "  record OUT.wav          record from the sound card\n"
    "  demo [--out DIR]        the whole road on the recording shipped with talvox\n"
    "\n"
    "Inputs may be any common audio format (WAV of any sample format, RF64, W64,\n"
    "AIFF, FLAC, Ogg Vorbis, Opus, MP3, ...; '-' is standard input); outputs keep\n"
    "the input's format. talvox computes in 16 bits.\n"
    "\n"
    "'talvox COMMAND --help' describes a command. Positions are seconds (1.5) or\n"
    "samples with an s suffix (24000s); ranges are START:END.\n"
    "Errors: exit status 1; bad usage: 2.\n";

struct Command {
  const char* name;
  int (*run)(int, char**);
  bool wantsOwnName;  // argv[0] is the command's name (the audio commands)
};

constexpr Command kCommands[] = {
    {"info", tvx::RunInfo, false},       {"analyze", tvx::RunAnalyze, false},
    {"analyse", tvx::RunAnalyze, false}, {"resynth", tvx::RunResynth, false},
    {"collect", tvx::RunCollect, false}, {"edit", tvx::RunEdit, false},
    {"plot", tvx::RunPlot, false},       {"demo", tvx::RunDemo, false},
    {"view", tvx::RunView, false},       {"play", RunPlay, true},             {"record", RunRecord, true},
};

}  // namespace

int main(int argc, char** argv) {
  tvx::InstallInterruptCleanup();
  if (argc < 2) {
    std::fputs(kOverview, stderr);
    return tvx::kExitUsage;
  }
  std::string word = argv[1];
  if (word == "--help" || word == "-h" || word == "help") {
    if (argc > 2 && word == "help") {
      char help[] = "--help";
      char* forwarded[] = {argv[2], help, nullptr};
      for (const Command& command : kCommands)
        if (std::strcmp(command.name, argv[2]) == 0)
          return command.wantsOwnName ? command.run(2, forwarded) : command.run(1, forwarded + 1);
    }
    std::fputs(kOverview, stdout);
    return 0;
  }
  if (word == "--version" || word == "-V") {
    std::printf("talvox %s\n", TALVOX_VERSION);
    return 0;
  }
  for (const Command& command : kCommands) {
    if (word != command.name) continue;
    try {
      return command.wantsOwnName ? command.run(argc - 1, argv + 1) : command.run(argc - 2, argv + 2);
    } catch (const tvx::CliError& error) {
      std::fprintf(stderr, "talvox: %s\n", error.what());
      return error.status();
    } catch (const std::bad_alloc&) {
      std::fprintf(stderr, "talvox: out of memory\n");
      return tvx::kExitFailure;
    } catch (const std::exception& error) {
      std::fprintf(stderr, "talvox: %s\n", error.what());
      return tvx::kExitFailure;
    }
  }
  std::fprintf(stderr, "talvox: unknown command '%s' (see 'talvox --help')\n", word.c_str());
  return tvx::kExitUsage;
}
