// pitchmark_accuracy: generated speech for each voice range and noise level,
// marked by _CalculatePeak (pap.exe found on PATH), by pap.exe's own pulses
// before snapping and, when the library has it, by the internal
// _CalculatePitch; prints the evaluation of each.
// Usage: pitchmark_accuracy [seconds-per-condition] [seed] [peak-level]
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "mark_evaluation.h"
#include "pitch/external_pitch.h"
#include "platform/process.h"
#include "speech_generator.h"
#include "talvox.h"

// Present only once the internal calculator is part of the library.
#pragma weak _CalculatePitch

namespace {

std::vector<double> Marks(int32_t (*calculate)(const int16_t*, int32_t, int32_t, int32_t*),
                          const speechgen::GeneratedSpeech& s) {
  const int32_t length = static_cast<int32_t>(s.samples.size());
  std::vector<int32_t> peaks(static_cast<std::size_t>(calculate(s.samples.data(), length,
                                                                s.sampleRate, nullptr)) + 1);
  int32_t count = calculate(s.samples.data(), length, s.sampleRate, peaks.data());
  return std::vector<double>(peaks.begin(), peaks.begin() + count);
}

// The pulses of pap.exe itself, before the library moves them onto hump
// areas: shows what the snapping adds or costs.
std::vector<double> ProgramPulses(const speechgen::GeneratedSpeech& s) {
  std::vector<float> times;
  if (talvox::WriteTempWav(talvox::kTempWavPath, s.samples.data(),
                           static_cast<int32_t>(s.samples.size()), s.sampleRate)) {
    talvox::RunPitchProgram(talvox::kTempWavPath, times);
  }
  talvox::DeleteFileByName(talvox::kTempWavPath);
  talvox::DeleteFileByName(talvox::ScriptPathFor(talvox::kTempWavPath).c_str());
  talvox::DeleteFileByName(talvox::PointProcessPathFor(talvox::kTempWavPath).c_str());
  std::vector<double> pulses;
  for (float t : times) pulses.push_back(static_cast<double>(t) * s.sampleRate);
  return pulses;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
  uint32_t seed = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 1;
  double peakLevel = argc > 3 ? std::atof(argv[3]) : 10000.0;
  struct Voice { const char* name; speechgen::VoiceRange range; };
  const Voice voices[] = {{"low 70-125 Hz", speechgen::kLowMaleVoice},
                          {"male 125-200 Hz", speechgen::kMaleVoice},
                          {"female 180-400 Hz", speechgen::kFemaleVoice}};
  struct Noise { const char* name; bool add; double snr; };
  const Noise noises[] = {{"clean", false, 0.0}, {"20 dB", true, 20.0}, {"10 dB", true, 10.0}};
  const bool haveInternal = &_CalculatePitch != nullptr;
  for (const Voice& voice : voices) {
    for (const Noise& noise : noises) {
      speechgen::SpeechSettings settings;
      settings.seconds = seconds;
      settings.voice = voice.range;
      settings.addNoise = noise.add;
      settings.snrDb = noise.snr;
      settings.seed = seed;
      settings.peakLevel = peakLevel;
      speechgen::GeneratedSpeech speech = speechgen::GenerateSpeech(settings);
      speechgen::MarkEvaluation external =
          speechgen::EvaluateMarks(speech.closures, Marks(_CalculatePeak, speech), speech.sampleRate);
      std::printf("%-18s %-6s external  %s\n", voice.name, noise.name,
                  speechgen::FormatEvaluation(external).c_str());
      speechgen::MarkEvaluation program =
          speechgen::EvaluateMarks(speech.closures, ProgramPulses(speech), speech.sampleRate);
      std::printf("%-18s %-6s pap.exe   %s\n", voice.name, noise.name,
                  speechgen::FormatEvaluation(program).c_str());
      if (haveInternal) {
        speechgen::MarkEvaluation internal = speechgen::EvaluateMarks(
            speech.closures, Marks(_CalculatePitch, speech), speech.sampleRate);
        std::printf("%-18s %-6s internal  %s\n", voice.name, noise.name,
                    speechgen::FormatEvaluation(internal).c_str());
      } else {
        std::printf("%-18s %-6s internal  (not in this build)\n", voice.name, noise.name);
      }
      std::fflush(stdout);
    }
  }
  return 0;
}
