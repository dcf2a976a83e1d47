// voice_speed: CPU time and peak memory of CalculateVoiceMarks with its
// segmentation on generated speech (default one hour at 16 kHz, male voice).
// Usage: voice_speed [seconds] [rate] [low|male|female|child]
#include <malloc.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "speech_generator.h"
#include "talvox.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Heap bytes in use and their high-water mark, counted by the replaced
// global allocation functions (the library core is linked in).
std::atomic<long long> inUse{0};
std::atomic<long long> highWater{0};

void* Allocate(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  const long long now = inUse += static_cast<long long>(malloc_usable_size(p));
  long long high = highWater.load();
  while (now > high && !highWater.compare_exchange_weak(high, now)) {
  }
  return p;
}

void Release(void* p) {
  if (p == nullptr) return;
  inUse -= static_cast<long long>(malloc_usable_size(p));
  std::free(p);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

int main(int argc, char** argv) {
  speechgen::SpeechSettings settings;
  settings.seconds = argc > 1 ? std::atof(argv[1]) : 3600.0;
  settings.sampleRate = argc > 2 ? std::atoi(argv[2]) : 16000;
  settings.seed = 7;
  const std::string voice = argc > 3 ? argv[3] : "male";
  if (voice == "low") settings.voice = speechgen::kLowMaleVoice;
  if (voice == "female") settings.voice = speechgen::kFemaleVoice;
  if (voice == "child") settings.voice = speechgen::kChildVoice;
  speechgen::GeneratedSpeech speech = speechgen::GenerateSpeech(settings);
  speech.closures = {};
  speech.closures.shrink_to_fit();
  InitTalvox();
  const long long before = inUse.load();
  highWater = before;
  const double signalBytes = static_cast<double>(speech.samples.size()) * sizeof(int16_t);
  const double cpu0 = CpuSeconds();
  const int32_t marks = CalculateVoiceMarks(
      speech.samples.data(), static_cast<int32_t>(speech.samples.size()), speech.sampleRate, 0, 0);
  const double cpu = CpuSeconds() - cpu0;
  const long long peak = highWater.load() - before;
  std::printf(
      "%.0f s of speech at %d Hz, %d marks, %d elements: CPU %.2f s, %.0fx real time; "
      "peak work memory %.0f%% of the signal (C++ heap)\n",
      settings.seconds, settings.sampleRate, marks, GetElementNum(), cpu, settings.seconds / cpu,
      100.0 * static_cast<double>(peak) / signalBytes);
  return 0;
}
