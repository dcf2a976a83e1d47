// Test speech with known glottal closure instants: Rosenberg glottal pulses
// at a gliding F0, shaped by four formant resonators, in syllables separated
// by silences, with optional white noise at a given signal-to-noise ratio,
// period jitter, amplitude shimmer and inverted polarity.
// Used by the pitch-mark accuracy measurements and the command-line demo.
#pragma once

#include <cstdint>
#include <vector>

namespace speechgen {

struct VoiceRange {
  double lowF0 = 125.0;   // Hz
  double highF0 = 200.0;  // Hz
};

inline constexpr VoiceRange kLowMaleVoice{70.0, 125.0};
inline constexpr VoiceRange kMaleVoice{100.0, 160.0};
inline constexpr VoiceRange kFemaleVoice{130.0, 400.0};
inline constexpr VoiceRange kChildVoice{200.0, 450.0};

struct SpeechSettings {
  int sampleRate = 16000;
  double seconds = 10.0;
  VoiceRange voice = kMaleVoice;
  double snrDb = 0.0;   // with addNoise: noise power below the voiced speech power
  bool addNoise = false;
  double peakLevel = 10000.0;  // loudest sample before noise (-10 dB of full scale)
  uint32_t seed = 1;
  double jitter = 0.0;   // standard deviation of each period, relative (0.01: 1%)
  double shimmer = 0.0;  // standard deviation of each pulse's amplitude, relative
  bool invert = false;   // polarity: the whole signal negated
  // The same utterance at other pitch and pace (what an ideal resynthesis
  // would give): every syllable's F0 times f0Scale, every length, pause and
  // ramp times timeScale; the random draws stay the same.
  double f0Scale = 1.0;
  double timeScale = 1.0;
};

struct Closure {
  double sample = 0.0;  // position in samples (fractional)
  int run = 0;          // index of the voiced run (syllable) it belongs to
};

struct GeneratedSpeech {
  int sampleRate = 0;
  std::vector<int16_t> samples;
  std::vector<Closure> closures;
};

GeneratedSpeech GenerateSpeech(const SpeechSettings& settings);

}  // namespace speechgen
