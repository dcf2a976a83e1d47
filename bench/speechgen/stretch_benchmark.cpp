// stretch_benchmark: SynthesisSpeechStretch on generated speech whose glottal
// closures are known (they serve as the pitch marks, so the figures are
// those of the resynthesis alone).
//   stretch_benchmark quality   frames within 3% of the target F0 (measured
//                               by autocorrelation, not by marks), frames left
//                               at the old pitch, duration out / asked, sample
//                               jumps and clipped samples against the input's
//   stretch_benchmark speed [seconds [scale]]   CPU time and memory of one
//                               call at 16 kHz, +4 semitones (default an
//                               hour, duration scale 1)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "speech_generator.h"
#include "talvox.h"

namespace {

constexpr double kFrameSeconds = 0.04;
constexpr double kHopSeconds = 0.01;
constexpr double kOnTarget = 0.03;  // relative F0 error still on target
constexpr double kLowestF0 = 50, kHighestF0 = 600;

struct Change {
  const char* name;
  double semitones;  // ignored when flatHz > 0
  double flatHz;
  double durationScale;
};

const Change kChanges[] = {
    {"none (the measure's own)", 0, 0, 1.0},
    {"0 st, x1.5", 0, 0, 1.5},
    {"0 st, x0.7", 0, 0, 0.7},
    {"flat 160 Hz", 0, 160, 1.0},
    {"+4 st", 4, 0, 1.0},
    {"+7 st", 7, 0, 1.0},
    {"-5 st", -5, 0, 1.0},
    {"flat 150 Hz", 0, 150, 1.0},
    {"+4 st, x0.7", 4, 0, 0.7},
    {"-5 st, x1.5", -5, 0, 1.5},
};

std::vector<int32_t> Marks(const speechgen::GeneratedSpeech& speech) {
  std::vector<int32_t> marks;
  for (const speechgen::Closure& c : speech.closures) {
    int32_t at = static_cast<int32_t>(std::lround(c.sample));
    if (marks.empty() || at > marks.back()) marks.push_back(at);
  }
  return marks;
}

// Source F0 at a sample: from the period around it, 0 outside the runs.
double SourceF0(const speechgen::GeneratedSpeech& speech, double at, int longest) {
  const auto& c = speech.closures;
  auto next = std::upper_bound(c.begin(), c.end(), at, [](double v, const speechgen::Closure& x) { return v < x.sample; });
  if (next == c.begin() || next == c.end()) return 0;
  auto previous = next - 1;
  double period = next->sample - previous->sample;
  return previous->run == next->run && period <= longest ? speech.sampleRate / period : 0;
}

// F0 by normalised autocorrelation of one frame; 0 when not clearly periodic.
double FrameF0(const std::vector<int16_t>& x, size_t from, size_t length, int rate) {
  int shortest = static_cast<int>(rate / kHighestF0), longest = static_cast<int>(rate / kLowestF0);
  if (from + length + longest >= x.size()) return 0;
  std::vector<double> r(longest + 2, 0);
  for (int lag = shortest - 1; lag <= longest + 1; lag++) {
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = from; i < from + length; i++) {
      xy += double(x[i]) * x[i + lag];
      xx += double(x[i]) * x[i];
      yy += double(x[i + lag]) * x[i + lag];
    }
    r[lag] = xy / std::sqrt(xx * yy + 1e-9);
  }
  double best = *std::max_element(r.begin() + shortest, r.begin() + longest + 1);
  if (best < 0.5) return 0;
  for (int lag = shortest; lag <= longest; lag++) {
    if (r[lag] >= 0.85 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
      double a = r[lag - 1], b = r[lag], c = r[lag + 1];
      double shift = 0.5 * (a - c) / (a - 2 * b + c + 1e-12);  // parabolic refinement
      return rate / (lag + std::clamp(shift, -0.5, 0.5));
    }
  }
  return 0;
}

// Two passes of a one-pole low-pass at about 1 kHz: the measure looks at the
// strong low harmonics, as pitch trackers do, not at formant ringing.
std::vector<int16_t> LowPassed(const std::vector<int16_t>& x, int rate) {
  const double a = std::exp(-2 * 3.141592653589793 * 1000.0 / rate);
  std::vector<double> y(x.begin(), x.end());
  for (int pass = 0; pass < 2; pass++) {
    double state = 0;
    for (double& v : y) v = state = (1 - a) * v + a * state;
  }
  return std::vector<int16_t>(y.begin(), y.end());
}

double Correlation(const std::vector<int16_t>& x, size_t from, size_t length, size_t lag) {
  double xy = 0, xx = 0, yy = 0;
  for (size_t i = from; i < from + length; i++) {
    xy += double(x[i]) * x[i + lag];
    xx += double(x[i]) * x[i];
    yy += double(x[i + lag]) * x[i + lag];
  }
  return xy / std::sqrt(xx * yy + 1e-9);
}

// Harmonics-to-noise ratio of one frame from the normalised autocorrelation
// r at the period, 10 log10(r / (1 - r)) dB; r is the parabola's top through
// the lags around the period, so a period between two lags is not mistaken
// for noise.
double FrameHnr(const std::vector<int16_t>& x, size_t from, size_t length, double period) {
  size_t lag = static_cast<size_t>(std::lround(period));
  if (lag < 2 || from + length + lag + 1 >= x.size()) return 0;
  double a = Correlation(x, from, length, lag - 1), b = Correlation(x, from, length, lag),
         c = Correlation(x, from, length, lag + 1);
  double curve = a - 2 * b + c;
  double top = curve < 0 ? b - (a - c) * (a - c) / (8 * curve) : b;
  double r = std::clamp(top, 1e-4, 0.9999);
  return 10 * std::log10(r / (1 - r));
}

int32_t LargestJump(const int16_t* x, size_t n) {
  int32_t jump = 0;
  for (size_t i = 1; i < n; i++) jump = std::max(jump, std::abs(x[i] - x[i - 1]));
  return jump;
}

void Quality() {
  std::printf("| voice | rate | change | frames | on target | old pitch | HNR in / out dB | duration out/asked | largest jump in/out | clipped |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
  struct Voice {
    const char* name;
    speechgen::VoiceRange range;
  } voices[] = {{"male", speechgen::kMaleVoice}, {"female", speechgen::kFemaleVoice}};
  for (const Voice& voice : voices) {
    for (int rate : {8000, 16000}) {
      speechgen::SpeechSettings settings;
      settings.sampleRate = rate;
      settings.seconds = 20;
      settings.voice = voice.range;
      speechgen::GeneratedSpeech speech = speechgen::GenerateSpeech(settings);
      const int32_t length = static_cast<int32_t>(speech.samples.size());
      const int longest = rate / 40;
      for (const Change& change : kChanges) {
        InitTalvox();
        SetChannels(1);
        SetDataBuffer(0, speech.samples.data(), length);
        std::vector<int32_t> marks = Marks(speech);
        std::vector<int32_t> periods;
        // Rounded by positions, as the host does, so the mean F0 stays exact.
        double exact = 0;
        int64_t placed = 0;
        for (size_t k = 0; k + 1 < marks.size(); k++) {
          int32_t d = marks[k + 1] - marks[k];
          if (d > longest) {
            periods.push_back(d);
            exact = 0;
            placed = 0;
            continue;
          }
          double f0 = change.flatHz > 0 ? change.flatHz : double(rate) / d * std::pow(2.0, change.semitones / 12);
          exact += rate / f0;
          int64_t next = std::llround(exact);
          periods.push_back(static_cast<int32_t>(std::max<int64_t>(next - placed, 1)));
          placed = next;
        }
        for (int32_t m : marks) AddPeak(m, nullptr);
        SetModifiedPitch(periods.data());
        SetFullSegmentation();
        const int32_t end = length - 1;
        if (!SynthesisSpeechStretch(0, 0, end, static_cast<float>(change.durationScale))) {
          std::printf("refused\n");
          continue;
        }
        std::vector<int16_t> y(GetSynthesisSpeech(), GetSynthesisSpeech() + GetSynthesisLength());
        const std::vector<int16_t> smooth = LowPassed(y, rate);
        size_t frame = static_cast<size_t>(kFrameSeconds * rate), hop = static_cast<size_t>(kHopSeconds * rate);
        int frames = 0, onTarget = 0, old = 0, hnrFrames = 0;
        double hnrIn = 0, hnrOut = 0;
        for (size_t from = 0; from + frame < y.size(); from += hop) {
          // The source place of the frame, and its F0 there (whole frame voiced).
          double sourceStart = from / change.durationScale, sourceEnd = (from + frame) / change.durationScale;
          double f0a = SourceF0(speech, sourceStart, longest), f0b = SourceF0(speech, sourceEnd, longest);
          double f0 = SourceF0(speech, 0.5 * (sourceStart + sourceEnd), longest);
          if (f0a <= 0 || f0b <= 0 || f0 <= 0) continue;
          double target = change.flatHz > 0 ? change.flatHz : f0 * std::pow(2.0, change.semitones / 12);
          double measured = FrameF0(smooth, from, frame, rate);
          frames++;
          if (measured > 0 && std::fabs(measured / target - 1) <= kOnTarget) {
            onTarget++;
            size_t source = static_cast<size_t>(sourceStart);
            hnrOut += FrameHnr(y, from, frame, rate / measured);
            hnrIn += FrameHnr(speech.samples, source, frame, rate / f0);
            hnrFrames++;
          }
          if (measured > 0 && std::fabs(measured / f0 - 1) <= kOnTarget && std::fabs(target / f0 - 1) > 2 * kOnTarget) old++;
        }
        int clipped = 0;
        for (int16_t v : y) clipped += (v >= 32767 || v <= -32768) ? 1 : 0;
        double asked = end * change.durationScale;
        std::printf("| %s | %d | %s | %d | %.1f%% | %.1f%% | %.1f / %.1f | %.5f | %d / %d | %d |\n", voice.name, rate,
                    change.name, frames, 100.0 * onTarget / std::max(frames, 1), 100.0 * old / std::max(frames, 1),
                    hnrIn / std::max(hnrFrames, 1), hnrOut / std::max(hnrFrames, 1),
                    double(y.size()) / asked, LargestJump(speech.samples.data(), speech.samples.size()),
                    LargestJump(y.data(), y.size()), clipped);
      }
    }
  }
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Resident and peak resident memory (kB) from /proc; the peak can be reset
// so that it tells the peak of one call.
long StatusKilobytes(const char* field) {
  FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return -1;
  char line[256];
  long value = -1;
  while (std::fgets(line, sizeof line, status))
    if (std::strncmp(line, field, std::strlen(field)) == 0) value = std::atol(line + std::strlen(field));
  std::fclose(status);
  return value;
}

void ResetPeak() {
  if (FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", refs);
    std::fclose(refs);
  }
}

void Speed(double seconds, float scale) {
  speechgen::SpeechSettings settings;
  settings.seconds = seconds;
  settings.seed = 7;
  speechgen::GeneratedSpeech speech = speechgen::GenerateSpeech(settings);
  const int32_t length = static_cast<int32_t>(speech.samples.size());
  InitWaveFileProc();
  InitTalvox();
  SetChannels(1);
  SetDataBuffer(0, speech.samples.data(), length);
  std::vector<int32_t> marks = Marks(speech), periods;
  for (size_t k = 0; k + 1 < marks.size(); k++)
    periods.push_back(static_cast<int32_t>(std::lround((marks[k + 1] - marks[k]) / std::pow(2.0, 4 / 12.0))));
  // The peak table through the peak-file reader's record would be faster;
  // AddPeak appends cheaply when the marks come in order.
  for (int32_t m : marks) AddPeak(m, nullptr);
  SetModifiedPitch(periods.data());
  SetFullSegmentation();
  speechgen::GeneratedSpeech().samples.swap(speech.samples);  // only the wave buffer keeps the signal
  const double signalMb = 2.0 * length / 1e6;
  {
    ResetPeak();
    const long before = StatusKilobytes("VmRSS:");
    const double cpu0 = CpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    if (!SynthesisSpeechStretch(0, 0, length - 1, scale)) std::printf("refused\n");
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    const double cpu = CpuSeconds() - cpu0;
    const double outputMb = 2.0 * GetSynthesisLength() / 1e6;
    const double grownMb = (StatusKilobytes("VmHWM:") - before) * 1024.0 / 1e6;
    std::printf("%.0f s at 16 kHz, +4 st, duration x%.1f: CPU %.2f s (wall %.2f s), %.0fx real time; "
                "memory of the call at its peak %.0f MB (output %.0f MB, signal %.0f MB)\n",
                seconds, scale, cpu, wall, seconds / cpu, grownMb, outputMb, signalMb);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "quality";
  if (mode == "speed") {
    Speed(argc > 2 ? std::atof(argv[2]) : 3600.0, argc > 3 ? static_cast<float>(std::atof(argv[3])) : 1.0f);
  } else if (mode == "quality") {
    Quality();
  } else {
    std::fprintf(stderr, "usage: stretch_benchmark quality | speed [seconds [scale]]\n");
    return 2;
  }
  return 0;
}
