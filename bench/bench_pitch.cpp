// Segmentation and internal pitch marks on one hour of speech-like signal
// at 16 kHz, and the order-6 filter per sample.
//
//   bench_pitch                      Google Benchmark timings
//   bench_pitch --memory segment     one SegmentSpeech, peak memory growth
//   bench_pitch --memory pitch       one CalculatePitch (unsegmented document)
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "dsp/filters.h"
#include "state/document.h"
#include "talvox.h"

namespace {

constexpr int32_t kRate = 16000;
constexpr int32_t kHourSamples = kRate * 3600;

// Voiced stretches of 0.2 to 1.5 s with a gliding fundamental (80..250 Hz,
// a few harmonics) and a little noise, separated by 0.1 to 0.6 s of quiet.
const std::vector<int16_t>& SpeechLikeHour() {
  static const std::vector<int16_t> signal = [] {
    std::vector<int16_t> x(static_cast<size_t>(kHourSamples));
    std::mt19937 random(42);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> noise(0.0, 30.0);
    size_t i = 0;
    double phase = 0;
    while (i < x.size()) {
      const size_t quiet = static_cast<size_t>(kRate * (0.1 + 0.5 * unit(random)));
      for (size_t k = 0; k < quiet && i < x.size(); ++k) x[i++] = static_cast<int16_t>(noise(random));
      const size_t voiced = static_cast<size_t>(kRate * (0.2 + 1.3 * unit(random)));
      const double f0 = 80 + 170 * unit(random);
      const double f1 = 80 + 170 * unit(random);
      for (size_t k = 0; k < voiced && i < x.size(); ++k) {
        const double t = static_cast<double>(k) / voiced;
        phase += 2 * M_PI * (f0 + (f1 - f0) * t) / kRate;
        const double envelope = std::sin(M_PI * t);
        double v = 0;
        for (int h = 1; h <= 5; ++h) v += std::sin(h * phase) / h;
        x[i++] = static_cast<int16_t>(9000 * envelope * v + noise(random));
      }
    }
    return x;
  }();
  return signal;
}

void BM_SegmentSpeechHour(benchmark::State& state) {
  const auto& x = SpeechLikeHour();
  InitTalvox();
  for (auto _ : state) benchmark::DoNotOptimize(SegmentSpeech(x.data(), kHourSamples, kRate));
  state.counters["realtime_x"] =
      benchmark::Counter(3600.0 * state.iterations(), benchmark::Counter::kIsRate);
  FreeTalvox();
}
BENCHMARK(BM_SegmentSpeechHour)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_CalculatePitchHourUnsegmented(benchmark::State& state) {
  const auto& x = SpeechLikeHour();
  for (auto _ : state) {
    state.PauseTiming();
    InitTalvox();
    state.ResumeTiming();
    benchmark::DoNotOptimize(CalculatePitch(x.data(), kHourSamples, kRate));
    state.PauseTiming();
    FreeTalvox();
    state.ResumeTiming();
  }
  state.counters["realtime_x"] =
      benchmark::Counter(3600.0 * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CalculatePitchHourUnsegmented)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_FilterOrder6(benchmark::State& state) {
  std::vector<int16_t> x(SpeechLikeHour().begin(), SpeechLikeHour().begin() + (1 << 20));
  double a[10], b[10];
  const double gain = talvox::ButterworthLowPass(kRate, 6, 300.0, a, b);
  for (auto _ : state) {
    talvox::RunFilter(x.data(), static_cast<int32_t>(x.size()), 6, gain, a, b);
    benchmark::ClobberMemory();
  }
  state.counters["ns_per_sample"] = benchmark::Counter(
      static_cast<double>(x.size()) * state.iterations(),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FilterOrder6)->Unit(benchmark::kMillisecond);

long MaxRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int MeasureMemory(const char* what) {
  const auto& x = SpeechLikeHour();
  InitTalvox();
  const long before = MaxRssKb();
  if (std::strcmp(what, "segment") == 0) {
    SegmentSpeech(x.data(), kHourSamples, kRate);
  } else {
    CalculatePitch(x.data(), kHourSamples, kRate);
  }
  const long grown = MaxRssKb() - before;
  std::printf("%s: peak memory growth %ld KiB = %.2f x the signal (%zu KiB)\n", what, grown,
              grown * 1024.0 / (x.size() * sizeof(int16_t)), x.size() * sizeof(int16_t) / 1024);
  int32_t* peaks = nullptr;
  std::printf("elements %d, peaks %d\n", talvox::TheDocument().record.elementCount, GetFullPeaks(&peaks));
  FreeTalvox();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--memory") == 0) return MeasureMemory(argv[2]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
