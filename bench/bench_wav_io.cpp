// Reading and writing one hour of 16 kHz mono (115 MB) as a WAV file, next to
// a plain `cp` of the same file, all through the page cache.
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALVOX_BUILD_BENCH=ON
//   ninja -C build-bench bench_wav_io && build-bench/bench/bench_wav_io
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "talvox.h"

namespace {

constexpr int32_t kRate = 16000;
constexpr int32_t kSeconds = 3600;
constexpr int kRepeats = 5;

// A private folder with the one-hour file, made once per run.
struct Fixture {
  std::string dir, source, target;
  int64_t bytes = 0;

  Fixture() {
    char pattern[] = "/tmp/talvox-bench-XXXXXX";
    dir = mkdtemp(pattern);
    source = dir + "/hour.wav";
    target = dir + "/out.wav";
    InitWaveFileProc();
    std::vector<int16_t> signal(static_cast<std::size_t>(kRate) * kSeconds);
    for (std::size_t i = 0; i < signal.size(); ++i) {
      signal[i] = static_cast<int16_t>(8000.0 * std::sin(0.0393 * static_cast<double>(i)) +
                                       static_cast<double>(i * 7919 % 601) - 300.0);
    }
    SetDataBuffer(0, signal.data(), static_cast<int32_t>(signal.size()));
    SaveWaveFile(1, source.c_str(), 0, 0);
    bytes = 44 + static_cast<int64_t>(signal.size()) * 2;
  }
  ~Fixture() {
    std::remove(source.c_str());
    std::remove(target.c_str());
    rmdir(dir.c_str());
    FreeWaveFileProc();
  }
};

Fixture& Files() {
  static Fixture files;
  return files;
}

void BM_ReadWaveFile(benchmark::State& state) {
  Fixture& f = Files();
  for (auto _ : state) {
    if (ReadWaveFile(1, f.source.c_str(), 0, 0) != 1) state.SkipWithError("read failed");
  }
  state.SetBytesProcessed(state.iterations() * f.bytes);
}

void BM_SaveWaveFile(benchmark::State& state) {
  Fixture& f = Files();
  ReadWaveFile(1, f.source.c_str(), 0, 0);
  for (auto _ : state) {
    if (SaveWaveFile(1, f.target.c_str(), 0, 0) != 1) state.SkipWithError("write failed");
  }
  state.SetBytesProcessed(state.iterations() * f.bytes);
}

void BM_CopyWithCp(benchmark::State& state) {
  Fixture& f = Files();
  const std::string command = "cp " + f.source + " " + f.target;
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
  }
  state.SetBytesProcessed(state.iterations() * f.bytes);
}

BENCHMARK(BM_CopyWithCp)->Unit(benchmark::kMillisecond)->Iterations(kRepeats)->UseRealTime();
BENCHMARK(BM_ReadWaveFile)->Unit(benchmark::kMillisecond)->Iterations(kRepeats)->UseRealTime();
BENCHMARK(BM_SaveWaveFile)->Unit(benchmark::kMillisecond)->Iterations(kRepeats)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
