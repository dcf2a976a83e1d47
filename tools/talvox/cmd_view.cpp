// talvox view: the speech editor in the browser, served on 127.0.0.1.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "analysis.h"
#include "annotation_files.h"
#include "args.h"
#include "cleanup.h"
#include "cli_error.h"
#include "commands.h"
#include "output.h"
#include "session.h"
#include "view/editor_document.h"
#include "view/request_guard.h"
#include "view/view_server.h"

extern char** environ;

namespace tvx {
namespace {

constexpr const char* kHelp =
    "usage: talvox view IN.wav [--peaks P | --elements TEXTGRID] [--port N] [--no-open]\n"
    "\n"
    "Opens the speech editor in the web browser: waveform, spectrogram, elements,\n"
    "pitch marks and F0; select and play, drag boundaries and marks, cut, copy\n"
    "and paste with the annotation, draw a new pitch and hear it, undo, save.\n"
    "The server listens on 127.0.0.1 only and answers only requests that carry\n"
    "the random token of the address it prints. Ctrl-C ends it.\n"
    "\n"
    "options:\n"
    "  --peaks P          the annotation to load (and where 'save' writes it);\n"
    "                     without it the file is analysed and saved to IN.peaks\n"
    "                     ('save TextGrid' writes IN.TextGrid, or IN.edited.TextGrid\n"
    "                     when the elements came from IN.TextGrid)\n"
    "  --elements FILE    the elements from a TextGrid (or label/CSV file) in place\n"
    "                     of the analysis' (see below)\n"
    "  --port N           listen on this port (default: any free port)\n"
    "  --no-open          print the address without starting a browser\n"
    "  --marks voice|internal|external, --floor HZ, --ceiling HZ,\n"
    "  --channel N        analysis as for analyze\n\n";

const std::vector<OptionSpec> kOptions = WithAnnotationInputOptions({
    {"peaks", 0, true}, {"port", 0, true}, {"no-open", 0, false}, {"marks", 0, true},
    {"channel", 0, true}, {"floor", 0, true}, {"ceiling", 0, true},
});

std::string Beside(const std::string& wavePath, const char* extension) {
  std::string base = wavePath;
  size_t slash = base.rfind('/');
  size_t dot = base.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) base.resize(dot);
  return base + extension;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat x {}, y {};
  return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

// IN.TextGrid, unless the elements came from that very file: its other
// tiers are not part of the document, and saving would lose them.
std::string TextGridBeside(const std::string& wavePath, const AnnotationInputs& annotation) {
  std::string path = Beside(wavePath, ".TextGrid");
  if (annotation.HasElements() && SameFile(path, annotation.elementsPath)) path = Beside(wavePath, ".edited.TextGrid");
  return path;
}

void OpenBrowser(const std::string& url) {
  const char* argv[] = {"xdg-open", url.c_str(), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, "xdg-open", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    std::fprintf(stderr, "talvox view: no browser could be started; open the address above\n");
    return;
  }
  std::thread([child] { waitpid(child, nullptr, 0); }).detach();
}

}  // namespace

int RunView(int argc, char** argv) {
  Args args("view", argc, argv, kOptions);
  if (args.WantsHelp()) return PrintHelp((std::string(kHelp) + kAnnotationInputHelp).c_str());
  if (args.Positional().size() != 1) FailUsage("view", "give exactly one input file");
  if (args.Has("peaks") && args.Has("elements")) FailUsage("view", "give --peaks or --elements, not both");
  int port = args.Integer("port", 0, 0, 65535);
  int channel = args.Integer("channel", 0, 0, 1);
  MarkSource source = ParseMarkSource(args);
  VoiceRange range = ParseVoiceRange(args);

  AnnotationInputs annotation = ReadAnnotationInputs(args);  // its errors before the analysis

  LibrarySession session;
  LoadedWave wave = LoadWave(args.Positional()[0]);
  if (channel >= wave.channels) FailFile(wave.path, "has no channel " + std::to_string(channel));
  std::string peakPath = args.Value("peaks").value_or(Beside(wave.path, ".peaks"));
  if (args.Has("peaks")) {
    LoadPeakFile(peakPath, wave);
  } else {
    std::fprintf(stderr, "talvox view: analysing %s ...\n", wave.path.c_str());
    Annotate(wave, channel, source, "", range, annotation);
  }

  std::string name = wave.path.substr(wave.path.rfind('/') == std::string::npos ? 0 : wave.path.rfind('/') + 1);
  view::F0Options f0;
  f0.channel = channel;
  f0.range = range;
  view::EditorDocument document({wave.path, peakPath, name, TextGridBeside(wave.path, annotation)}, f0);
  view::ViewServer server(document, view::NewToken());
  try {
    server.Bind(port);
  } catch (const std::exception& error) {
    throw CliError(kExitFailure, std::string("view: ") + error.what());
  }
  std::printf("%s\n", server.Url().c_str());
  std::fflush(stdout);
  if (!args.Has("no-open")) OpenBrowser(server.Url());

  InterruptIsNormalEnd();  // Ctrl-C is how the editor is closed
  std::atomic<bool> done{false};
  std::thread watcher([&] {
    while (!done) {
      try {
        CheckInterrupted();
      } catch (...) {
        server.Stop();
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  server.Run();
  done = true;
  watcher.join();
  return 0;
}

}  // namespace tvx
