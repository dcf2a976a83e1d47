// Whole-signal benchmarks on one hour of 16 kHz speech-like signal with
// pitch marks at its known periods: resynthesis a fifth higher, the
// spectrogram and the energy contour. Each reports the real-time factor
// (seconds of audio per second of work) and the peak resident memory the
// call added on top of the loaded signal and annotation.
//
// TALVOX_BENCH_SIGNAL=path writes the signal there as raw 16-bit samples,
// for the numpy comparison (bench/stft_numpy.py).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "state/document.h"
#include "talvox.h"

namespace {

constexpr int32_t kRate = 16000;
constexpr int32_t kSeconds = 3600;

struct Speech {
  std::vector<int16_t> samples;
  std::vector<int32_t> marks;
  std::vector<int32_t> periods;  // source distance between marks
};

// Voiced stretches of 0.3 s with a period that changes from stretch to
// stretch (90 to 179 samples, 89 to 178 Hz), 0.1 s pauses between them, a
// little noise throughout. One mark per period at the start of each cycle.
Speech MakeSpeech() {
  Speech s;
  const int32_t length = kRate * kSeconds;
  s.samples.assign(static_cast<size_t>(length), 0);
  uint32_t noise = 12345;
  int32_t stretch = 0;
  for (int32_t t = 0; t < length;) {
    const int32_t period = 90 + (stretch * 37) % 90;
    std::vector<int16_t> cycle(static_cast<size_t>(period));
    for (int32_t i = 0; i < period; ++i) {
      const double phase = 6.283185307179586 * i / period;
      double v = 0;
      for (int h = 1; h <= 8; ++h) v += std::sin(h * phase) / h;
      cycle[i] = static_cast<int16_t>(5000 * v);
    }
    const int32_t voicedEnd = std::min(length, t + kRate * 3 / 10);
    for (; t + period <= voicedEnd; t += period) {
      s.marks.push_back(t);
      for (int32_t i = 0; i < period; ++i) s.samples[t + i] = cycle[i];
    }
    t = std::min(length, t + kRate / 10);
    ++stretch;
  }
  for (auto& x : s.samples) {
    noise = noise * 1664525u + 1013904223u;
    x = static_cast<int16_t>(x + static_cast<int32_t>(noise >> 24) - 128);
  }
  for (size_t i = 0; i + 1 < s.marks.size(); ++i) s.periods.push_back(s.marks[i + 1] - s.marks[i]);
  return s;
}

const Speech& TheSpeech() {
  static const Speech speech = [] {
    Speech s = MakeSpeech();
    if (const char* path = std::getenv("TALVOX_BENCH_SIGNAL")) {
      std::ofstream out(path, std::ios::binary);
      out.write(reinterpret_cast<const char*>(s.samples.data()),
                static_cast<std::streamsize>(s.samples.size() * sizeof(int16_t)));
    }
    return s;
  }();
  return speech;
}

// The shipped recording of read speech repeated to the hour, with the
// library's own marks: real pauses (half windows far beyond the cached
// lengths across them) and real period changes.
const Speech& RealLikeSpeech() {
  static const Speech speech = [] {
    Speech s;
    std::ifstream in(std::string(TALVOX_SOURCE_DIR) + "/data/librivox-austen-0870.wav", std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    constexpr size_t kHeader = 44;
    if (bytes.size() <= kHeader) std::abort();
    std::vector<int16_t> passage((bytes.size() - kHeader) / 2);
    std::memcpy(passage.data(), bytes.data() + kHeader, passage.size() * 2);
    const size_t length = static_cast<size_t>(kRate) * kSeconds;
    while (s.samples.size() < length) s.samples.insert(s.samples.end(), passage.begin(), passage.end());
    s.samples.resize(length);
    const auto n = static_cast<int32_t>(length);
    s.marks.resize(static_cast<size_t>(_CalculatePitch(s.samples.data(), n, kRate, nullptr)));
    _CalculatePitch(s.samples.data(), n, kRate, s.marks.data());
    for (size_t i = 0; i + 1 < s.marks.size(); ++i) s.periods.push_back(s.marks[i + 1] - s.marks[i]);
    return s;
  }();
  return speech;
}

// Resident memory now and at its peak since the last reset, in bytes.
long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
  }
  return 0;
}
void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The document as a host leaves it after analysis: the signal, one element
// over it, the marks and a modified pitch two thirds of each period.
void LoadDocument(const Speech& s) {
  InitWaveFileProc();
  InitTalvox();
  const int32_t length = static_cast<int32_t>(s.samples.size());
  SetDataBuffer(0, s.samples.data(), length);
  SetFullSegmentation();
  talvox::DocumentState& doc = talvox::TheDocument();
  const int32_t n = static_cast<int32_t>(s.marks.size());
  talvox::ResizePeakTable(doc, n);
  talvox::ResizeModifiedPitch(doc, n);
  std::copy(s.marks.begin(), s.marks.end(), doc.record.peaks);
  doc.record.peakCount = n;
  for (int32_t i = 0; i + 1 < n; ++i) doc.record.modifiedPitch[i] = s.periods[i] * 2 / 3;
}

void UnloadDocument() {
  FreeTalvox();
  FreeWaveFileProc();
}

template <typename Work>
void Measure(benchmark::State& state, Work work, const Speech& speech = TheSpeech()) {
  LoadDocument(speech);
  ResetPeakMemory();
  const long before = StatusKb("VmRSS:");
  for (auto _ : state) work();
  const long peak = StatusKb("VmHWM:");
  const double audio = static_cast<double>(speech.samples.size()) / kRate;
  state.counters["realtime_x"] = benchmark::Counter(audio * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
  state.counters["peak_added_MB"] = static_cast<double>(peak - before) / 1024.0;
  state.counters["signal_MB"] = static_cast<double>(speech.samples.size() * 2) / 1048576.0;
  UnloadDocument();
}

void BM_SynthesisFifthHigher(benchmark::State& state) {
  Measure(state, [] {
    const int32_t length = GetWaveLength();
    benchmark::DoNotOptimize(SynthesisSpeech(0, 0, length - 1));
    if (GetSynthesisLength() >= length) std::abort();  // it must be shorter
  });
}
BENCHMARK(BM_SynthesisFifthHigher)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same on the hour of repeated recorded speech, for the ratio of the
// two real-time factors.
void BM_SynthesisRealLikeFifthHigher(benchmark::State& state) {
  const Speech& speech = RealLikeSpeech();
  Measure(
      state,
      [] {
        const int32_t length = GetWaveLength();
        benchmark::DoNotOptimize(SynthesisSpeech(0, 0, length - 1));
        if (GetSynthesisLength() >= length) std::abort();
      },
      speech);
}
BENCHMARK(BM_SynthesisRealLikeFifthHigher)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Spectrum(benchmark::State& state) {
  Measure(state,
          [] { benchmark::DoNotOptimize(CalculateSpectrum(GetDataBuffer(0), GetWaveLength())); });
}
BENCHMARK(BM_Spectrum)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Energy(benchmark::State& state) {
  Measure(state,
          [] { benchmark::DoNotOptimize(CalculateEnergy(GetDataBuffer(0), GetWaveLength())); });
}
BENCHMARK(BM_Energy)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
