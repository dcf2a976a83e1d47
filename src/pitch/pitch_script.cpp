// The script handed to pap.exe and the run of the program on it.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "pitch/external_pitch.h"
#include "pitch/working_files.h"
#include "platform/process.h"

namespace talvox {

namespace {

std::size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

}  // namespace

std::string PitchScriptText(const char* wavPath, const char* pointProcessPath) {
  return std::string("Read from file... ") + wavPath +
         "\n\t\t#Play"
         "\n\t\tTo Pitch... 0.01 125 500"
         "\n\t\tTo PointProcess"
         "\n\t\tWrite to text file... " +
         pointProcessPath +
         "\n\t\tselect all"
         "\n\t\tRemove";
}

std::string ScriptPathFor(const char* wavPath) {
  std::string path(wavPath);
  std::size_t separator = LastSeparator(path);
  if (separator == std::string::npos) return kScriptName;
  return path.substr(0, separator + 1) + kScriptName;
}

std::string PointProcessPathFor(const char* wavPath) {
  std::string path(wavPath);
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos) return std::string();
  return path.substr(0, dot) + kPointProcessSuffix;
}

int32_t WritePitchScript(const char* wavPath, const char* scriptPath) {
  std::string pointProcess = PointProcessPathFor(wavPath);
  if (pointProcess.empty()) return 0;
  int fd = OpenWorkingFileForWriting(scriptPath);
  if (fd < 0) return 0;
  std::FILE* file = ::fdopen(fd, "wb");
  if (file == nullptr) {
    ::close(fd);
    return 0;
  }
  std::string text = PitchScriptText(wavPath, pointProcess.c_str());
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return (std::fclose(file) == 0 && written) ? 1 : 0;
}

int32_t RunPitchProgram(const char* wavPath, std::vector<float>& times) {
  times.clear();
  std::string script = ScriptPathFor(wavPath);
  WritePitchScript(wavPath, script.c_str());
  std::string commandLine = std::string(kPitchProgram) + " " + script;
  LaunchHidden(commandLine.c_str());
  std::string pointProcess = PointProcessPathFor(wavPath);
  if (pointProcess.empty()) return 0;
  return ReadPointProcess(pointProcess.c_str(), times);
}

}  // namespace talvox
