#include "known_pitch_check.h"

#include <cmath>
#include <cstdio>

#include "analysis.h"
#include "mark_evaluation.h"
#include "speech_generator.h"
#include "talvox.h"

namespace tvx {
namespace {

constexpr int kRate = 16000;        // the wave buffer's default header rate
constexpr double kSeconds = 3.0;

// Median relative F0 error of the mark intervals that lie inside one
// voiced run, against the closure period at the interval's start.
double MedianF0Error(const std::vector<speechgen::Closure>& closures, const std::vector<int32_t>& marks) {
  std::vector<double> errors;
  size_t c = 0;
  for (size_t k = 0; k + 1 < marks.size(); k++) {
    while (c + 1 < closures.size() && closures[c + 1].sample <= marks[k]) c++;
    if (c + 1 >= closures.size() || closures[c].run != closures[c + 1].run) continue;
    if (marks[k] < closures[c].sample - 1 || marks[k + 1] > closures.back().sample + 1) continue;
    double truePeriod = closures[c + 1].sample - closures[c].sample;
    double period = marks[k + 1] - marks[k];
    if (period > 1.5 * truePeriod) continue;  // across a gap
    errors.push_back(std::fabs(truePeriod / period - 1.0));
  }
  return Median(errors);
}

}  // namespace

void RunKnownPitchCheck(LibrarySession& session, const std::string& folder, std::vector<std::string>& written) {
  // The demo recording's voice (about 95 Hz) first, then a higher one.
  struct Voice {
    const char* file;
    speechgen::VoiceRange range;
  } voices[] = {{"known-pitch.wav", speechgen::kLowMaleVoice}, {"known-pitch-higher.wav", speechgen::kMaleVoice}};
  for (const Voice& voice : voices) {
    speechgen::SpeechSettings settings;
    settings.sampleRate = kRate;
    settings.seconds = kSeconds;
    settings.voice = voice.range;
    speechgen::GeneratedSpeech speech = speechgen::GenerateSpeech(settings);

    std::string path = folder + "/" + voice.file;
    session.ResetDocument();
    NewWave();  // a mono 16000 Hz header for the generated samples
    WriteWave(path, {speech.samples});
    written.push_back(path);
    LoadedWave wave = LoadWave(path);
    AnalyzeChannel(wave, 0, MarkSource::kInternal);
    std::vector<int32_t> marks = CurrentPeaks();
    std::vector<double> positions(marks.begin(), marks.end());
    speechgen::MarkEvaluation evaluation = speechgen::EvaluateMarks(speech.closures, positions, kRate);

    int runs = speech.closures.empty() ? 0 : speech.closures.back().run + 1;
    std::printf("%s: %.1f s, %d syllables, F0 %.0f to %.0f Hz, %zu glottal closures known\n", path.c_str(),
                wave.Seconds(), runs, settings.voice.lowF0, settings.voice.highF0, speech.closures.size());
    std::printf("  pitch marks: %zu; larynx cycles with exactly one mark %.1f%%, none %.1f%%, more %.1f%%\n",
                marks.size(), evaluation.identificationRate, evaluation.missRate, evaluation.falseAlarmRate);
    std::printf("  mark timing: median offset from the closure %.2f ms, spread %.2f ms\n"
                "  F0 of the intervals between neighbouring marks: median error %.2f%%\n",
                evaluation.medianOffsetMs, evaluation.runErrorStdMs, 100 * MedianF0Error(speech.closures, marks));
  }
}

}  // namespace tvx
