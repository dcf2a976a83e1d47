#include "known_pitch_check.h"

#include <cmath>
#include <cstdio>

#include "analysis.h"
#include "cli_error.h"
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
  struct Voice {
    const char* file;
    const char* name;
    speechgen::VoiceRange range;
  } voices[] = {{"known-pitch.wav", "low male", speechgen::kLowMaleVoice},
                {"known-pitch-higher.wav", "male", speechgen::kMaleVoice},
                {"known-pitch-female.wav", "female", speechgen::kFemaleVoice},
                {"known-pitch-child.wav", "child", speechgen::kChildVoice}};
  struct Route {
    const char* name;
    MarkSource source;
  } routes[] = {{"voice (default)", MarkSource::kVoice},
                {"internal", MarkSource::kInternal},
                {"external", MarkSource::kExternal}};
  std::printf("IDR: larynx cycles with exactly one mark, MR: with none, FAR: with more;\n"
              "spread: timing spread of the marks within a syllable.\n\n");
  std::printf("%-22s %-16s %6s %7s %6s %6s %10s %9s\n", "voice (F0 Hz)", "marks", "cycles", "IDR %", "MR %",
              "FAR %", "spread ms", "F0 err %");
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
    char label[64];
    std::snprintf(label, sizeof label, "%s %.0f-%.0f", voice.name, voice.range.lowF0, voice.range.highF0);
    for (const Route& route : routes) {
      session.ResetDocument();
      LoadedWave wave = LoadWave(path);
      try {
        AnalyzeChannel(wave, 0, route.source);
      } catch (const CliError& error) {
        std::printf("%-22s %-16s  not available (%s)\n", label, route.name, error.what());
        continue;
      }
      std::vector<int32_t> marks = CurrentPeaks();
      std::vector<double> positions(marks.begin(), marks.end());
      speechgen::MarkEvaluation e = speechgen::EvaluateMarks(speech.closures, positions, kRate);
      std::printf("%-22s %-16s %6lld %7.1f %6.1f %6.1f %10.3f %9.2f\n", label, route.name,
                  static_cast<long long>(e.cycles), e.identificationRate, e.missRate, e.falseAlarmRate,
                  e.runErrorStdMs, 100 * MedianF0Error(speech.closures, marks));
    }
  }
}

}  // namespace tvx
