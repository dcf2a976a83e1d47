// pap.exe: runs a pitch script ("Read from file...", "To Pitch...",
// "To PointProcess", "Write to text file...") and writes the glottal pulses
// it finds as text. Usage: pap.exe script
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "pitch_tracker.h"
#include "point_process_output.h"
#include "pulses.h"
#include "script.h"
#include "wav_input.h"

namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "pap.exe: %s\n", message.c_str());
  return 1;
}

struct Objects {
  std::optional<pap::Sound> sound;
  std::optional<pap::PitchTrack> pitch;
  std::optional<std::vector<int32_t>> pulses;
};

bool Execute(const pap::Command& command, Objects& objects, std::string& error) {
  switch (command.kind) {
    case pap::CommandKind::kReadFromFile: {
      pap::Sound sound;
      if (!pap::ReadWav(command.path, sound, error)) return false;
      objects = Objects{};
      objects.sound = std::move(sound);
      return true;
    }
    case pap::CommandKind::kToPitch: {
      if (!objects.sound) return error = "To Pitch... needs a sound", false;
      pap::PitchSettings settings{command.timeStep, command.floor, command.ceiling};
      objects.pitch = pap::TrackPitch(objects.sound->samples, objects.sound->sampleRate, settings);
      return true;
    }
    case pap::CommandKind::kToPointProcess:
      if (!objects.sound || !objects.pitch) return error = "To PointProcess needs a pitch", false;
      objects.pulses = pap::FindPulses(objects.sound->samples, objects.sound->sampleRate,
                                       *objects.pitch);
      return true;
    case pap::CommandKind::kWriteToTextFile: {
      if (!objects.pulses) return error = "nothing to write: no point process", false;
      const pap::Sound& sound = *objects.sound;
      double duration = static_cast<double>(sound.samples.size()) / sound.sampleRate;
      return pap::WritePointProcess(command.path, *objects.pulses, sound.sampleRate, duration,
                                    error);
    }
    case pap::CommandKind::kNothing:
      return true;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Fail("usage: pap.exe script");
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) return Fail(std::string("cannot open script ") + argv[1]);
  // A script is a few lines; anything far larger is not one (a device, say).
  constexpr std::streamsize kScriptLimit = 1 << 20;
  std::string script(static_cast<size_t>(kScriptLimit) + 1, '\0');
  in.read(&script[0], kScriptLimit + 1);
  if (in.gcount() > kScriptLimit) return Fail(std::string(argv[1]) + ": too large for a script");
  script.resize(static_cast<size_t>(in.gcount()));
  std::vector<pap::Command> commands;
  std::string error;
  if (!pap::ParseScript(script, commands, error)) return Fail(std::string(argv[1]) + ": " + error);
  Objects objects;
  for (const pap::Command& command : commands) {
    if (!Execute(command, objects, error)) {
      return Fail(std::string(argv[1]) + ":" + std::to_string(command.line) + ": " + error);
    }
  }
  return 0;
}
