// Reading and writing one hour of 16 kHz mono (115 MB) as a WAV file, next to
// a plain `cp` of the same file, all through the page cache; and the peak
// memory of reading a 44.1 kHz stereo hour.
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALVOX_BUILD_BENCH=ON
//   ninja -C build-bench bench_wav_io && build-bench/bench/bench_wav_io
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    std::remove((dir + "/stereo.wav").c_str());
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

// Peak memory of reading a 44.1 kHz stereo hour (635 MB of samples), in a
// child process so the parent's pages do not count: the added peak resident
// size over the bytes of the samples the wave buffer then holds.
constexpr int32_t kStereoRate = 44100;

std::string StereoHour(const Fixture& f) {
  const std::string path = f.dir + "/stereo.wav";
  static bool made = false;
  if (made) return path;
  const int32_t frames = kStereoRate * kSeconds;
  std::vector<int16_t> left(static_cast<std::size_t>(frames)), right(left.size());
  for (std::size_t i = 0; i < left.size(); ++i) {
    left[i] = static_cast<int16_t>(8000.0 * std::sin(0.0143 * static_cast<double>(i)));
    right[i] = static_cast<int16_t>(i * 7919 % 4001) - 2000;
  }
  SetChannels(2);
  SetDataBuffer(0, left.data(), frames);
  SetDataBuffer(1, right.data(), frames);
  SetWaveLength(frames);
  SaveWaveFile(1, path.c_str(), 0, 0);
  SetChannels(1);
  SetDataBuffer(0, left.data(), 1);
  made = true;
  return path;
}

long StatusKb(const char* field) {
  FILE* status = std::fopen("/proc/self/status", "r");
  char line[256];
  long kb = 0;
  while (status && std::fgets(line, sizeof line, status)) {
    if (std::strncmp(line, field, std::strlen(field)) == 0) kb = std::atol(line + std::strlen(field));
  }
  if (status) std::fclose(status);
  return kb;
}

void BM_ReadStereoHourPeakMemory(benchmark::State& state) {
  Fixture& f = Files();
  const std::string path = StereoHour(f);
  const double sampleMb = 2.0 * 2.0 * kStereoRate * kSeconds / 1048576.0;
  double addedMb = 0;
  for (auto _ : state) {
    int channel[2];
    if (pipe(channel) != 0) state.SkipWithError("pipe failed");
    pid_t child = fork();
    if (child == 0) {
      FreeWaveFileProc();
      InitWaveFileProc();
      FILE* refs = std::fopen("/proc/self/clear_refs", "w");
      if (refs) std::fputs("5", refs), std::fclose(refs);
      const long before = StatusKb("VmRSS:");
      long added = ReadWaveFile(1, path.c_str(), 0, 0) == 1 ? StatusKb("VmHWM:") - before : -1;
      if (write(channel[1], &added, sizeof added) != sizeof added) _exit(1);
      _exit(0);
    }
    long added = -1;
    if (read(channel[0], &added, sizeof added) != sizeof added || added < 0) state.SkipWithError("read failed");
    waitpid(child, nullptr, 0);
    close(channel[0]);
    close(channel[1]);
    addedMb = static_cast<double>(added) / 1024.0;
  }
  state.counters["peak_added_MB"] = addedMb;
  state.counters["samples_MB"] = sampleMb;
  state.counters["peak_over_samples"] = addedMb / sampleMb;
}

BENCHMARK(BM_CopyWithCp)->Unit(benchmark::kMillisecond)->Iterations(kRepeats)->UseRealTime();
BENCHMARK(BM_ReadWaveFile)->Unit(benchmark::kMillisecond)->Iterations(kRepeats)->UseRealTime();
BENCHMARK(BM_SaveWaveFile)->Unit(benchmark::kMillisecond)->Iterations(kRepeats)->UseRealTime();
BENCHMARK(BM_ReadStereoHourPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
