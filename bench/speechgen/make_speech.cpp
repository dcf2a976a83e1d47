// make_speech: writes generated speech (WAV) and its closure instants.
// Usage: make_speech out.wav closures.txt [--seconds S] [--voice low|male|female|child]
//        [--snr DB] [--rate HZ] [--seed N] [--level PEAK]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "speech_files.h"
#include "speech_generator.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: make_speech out.wav closures.txt [--seconds S] [--voice low|male|female|child]"
                 " [--snr DB] [--rate HZ] [--seed N] [--level PEAK]\n");
    return 2;
  }
  speechgen::SpeechSettings settings;
  for (int i = 3; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    const char* value = argv[i + 1];
    if (option == "--seconds") {
      settings.seconds = std::atof(value);
    } else if (option == "--voice") {
      const std::string v = value;
      if (v == "low") settings.voice = speechgen::kLowMaleVoice;
      else if (v == "male") settings.voice = speechgen::kMaleVoice;
      else if (v == "female") settings.voice = speechgen::kFemaleVoice;
      else if (v == "child") settings.voice = speechgen::kChildVoice;
      else {
        std::fprintf(stderr, "make_speech: unknown voice %s (low, male, female or child)\n", value);
        return 2;
      }
    } else if (option == "--snr") {
      settings.addNoise = true;
      settings.snrDb = std::atof(value);
    } else if (option == "--rate") {
      settings.sampleRate = std::atoi(value);
    } else if (option == "--level") {
      settings.peakLevel = std::atof(value);
    } else if (option == "--seed") {
      settings.seed = static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
    } else {
      std::fprintf(stderr, "make_speech: unknown option %s\n", option.c_str());
      return 2;
    }
  }
  speechgen::GeneratedSpeech speech = speechgen::GenerateSpeech(settings);
  if (!speechgen::WriteWav(argv[1], speech.samples, speech.sampleRate) ||
      !speechgen::WriteClosures(argv[2], speech.closures, speech.sampleRate)) {
    std::fprintf(stderr, "make_speech: cannot write the output files\n");
    return 1;
  }
  return 0;
}
