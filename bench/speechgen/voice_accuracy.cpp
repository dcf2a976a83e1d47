// voice_accuracy: the voice tracker on generated speech with known closures,
// every voice under every condition (clean, noise at 20 and 10 dB SNR, 1%
// jitter with 5% shimmer, inverted polarity, peak levels 0/-12/-24/-36 dBFS,
// rates 8/16/44.1/48 kHz); prints one line per case with the mark measures
// and the voicing errors, and the worst case of each measure.
// Usage: voice_accuracy [seconds-per-case] [seed] [voice-filter] [case-filter]
// (a filter keeps the voices / cases whose name contains it)
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mark_evaluation.h"
#include "speech_generator.h"
#include "state/document.h"
#include "talvox.h"
#include "voicing_evaluation.h"

namespace {

struct Case {
  const char* name;
  double snrDb;  // 0: no noise
  double jitter, shimmer;
  bool invert;
  double levelDb;  // peak, of full scale
  int rate;
};

const Case kCases[] = {
    {"clean", 0, 0, 0, false, -1, 16000},   {"snr20", 20, 0, 0, false, -1, 16000},
    {"snr10", 10, 0, 0, false, -1, 16000},  {"jitter", 0, 0.01, 0.05, false, -1, 16000},
    {"inverted", 0, 0, 0, true, -1, 16000}, {"0dB", 0, 0, 0, false, 0, 16000},
    {"-12dB", 0, 0, 0, false, -12, 16000},  {"-24dB", 0, 0, 0, false, -24, 16000},
    {"-36dB", 0, 0, 0, false, -36, 16000},  {"8k", 0, 0, 0, false, -1, 8000},
    {"44.1k", 0, 0, 0, false, -1, 44100},   {"48k", 0, 0, 0, false, -1, 48000},
};

struct Voice {
  const char* name;
  speechgen::VoiceRange range;
};

const Voice kVoices[] = {{"low 70-125", speechgen::kLowMaleVoice},
                         {"male 100-160", speechgen::kMaleVoice},
                         {"female 130-400", speechgen::kFemaleVoice},
                         {"child 200-450", speechgen::kChildVoice}};

std::vector<speechgen::Interval> VoicedElements(const speechgen::GeneratedSpeech& s) {
  InitTalvox();
  const int32_t length = static_cast<int32_t>(s.samples.size());
  const int32_t count = SegmentVoice(s.samples.data(), length, s.sampleRate, 0, 0);
  std::vector<speechgen::Interval> voiced;
  const TvxDocument* doc = &talvox::TheDocument().record;
  for (int32_t i = 0; i < count; ++i) {
    const TvxElement& e = doc->elements[i];
    if (std::strcmp(e.desc, "SIL") != 0) voiced.push_back({double(e.start), double(e.end)});
  }
  return voiced;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
  const uint32_t seed = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 1;
  const char* filter = argc > 3 ? argv[3] : "";
  const char* caseFilter = argc > 4 ? argv[4] : "";
  double worstIdr = 100, worstMiss = 0, worstFa = 0, worstSpread = 0, worstVs = 0, worstSv = 0;
  std::printf("%-15s %-9s %7s %6s %6s %6s %6s %7s %7s\n", "voice", "case", "cycles", "IDR", "MR",
              "FAR", "runstd", "V->SIL", "SIL->V");
  for (const Voice& voice : kVoices) {
    if (std::strstr(voice.name, filter) == nullptr) continue;
    for (const Case& c : kCases) {
      if (std::strstr(c.name, caseFilter) == nullptr) continue;
      speechgen::SpeechSettings settings;
      settings.sampleRate = c.rate;
      settings.seconds = seconds;
      settings.voice = voice.range;
      settings.seed = seed;
      settings.addNoise = c.snrDb > 0;
      settings.snrDb = c.snrDb;
      settings.jitter = c.jitter;
      settings.shimmer = c.shimmer;
      settings.invert = c.invert;
      if (c.levelDb <= 0) settings.peakLevel = 32767.0 * std::pow(10.0, c.levelDb / 20.0);
      const speechgen::GeneratedSpeech s = speechgen::GenerateSpeech(settings);
      const int32_t length = static_cast<int32_t>(s.samples.size());
      const int32_t count =
          _CalculateVoiceMarks(s.samples.data(), length, s.sampleRate, 0, 0, nullptr, 0);
      std::vector<int32_t> marks(static_cast<size_t>(count));
      _CalculateVoiceMarks(s.samples.data(), length, s.sampleRate, 0, 0, marks.data(), count);
      const speechgen::MarkEvaluation e = speechgen::EvaluateMarks(
          s.closures, std::vector<double>(marks.begin(), marks.end()), s.sampleRate);
      const speechgen::VoicingEvaluation v =
          speechgen::EvaluateVoicing(s.closures, VoicedElements(s), length, s.sampleRate);
      std::printf("%-15s %-9s %7lld %6.2f %6.2f %6.2f %6.3f %7.2f %7.2f\n", voice.name, c.name,
                  static_cast<long long>(e.cycles), e.identificationRate, e.missRate,
                  e.falseAlarmRate, e.runErrorStdMs, v.voicedAsSilent, v.silentAsVoiced);
      if (c.snrDb != 10) {
        worstIdr = std::min(worstIdr, e.identificationRate);
        worstMiss = std::max(worstMiss, e.missRate);
        worstFa = std::max(worstFa, e.falseAlarmRate);
        worstSpread = std::max(worstSpread, e.runErrorStdMs);
      }
      worstVs = std::max(worstVs, v.voicedAsSilent);
      worstSv = std::max(worstSv, v.silentAsVoiced);
    }
  }
  std::printf(
      "worst (all but snr10): IDR %.2f  MR %.2f  FAR %.2f  run std %.3f ms; "
      "voicing (all): V->SIL %.2f%%  SIL->V %.2f%%\n",
      worstIdr, worstMiss, worstFa, worstSpread, worstVs, worstSv);
  return 0;
}
