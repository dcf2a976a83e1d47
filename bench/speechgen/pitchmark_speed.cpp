// pitchmark_speed: CPU time of _CalculatePeak on generated speech, split into
// the library's own part and that of pap.exe (its child process).
// Usage: pitchmark_speed [seconds] (pap.exe found on PATH; run it in a
// scratch folder, the working files go to the current directory)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "speech_generator.h"
#include "talvox.h"

namespace {

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

}  // namespace

int main(int argc, char** argv) {
  speechgen::SpeechSettings settings;
  settings.seconds = argc > 1 ? std::atof(argv[1]) : 3600.0;
  settings.seed = 7;
  speechgen::GeneratedSpeech speech = speechgen::GenerateSpeech(settings);
  const double self0 = CpuSeconds(RUSAGE_SELF);
  const double child0 = CpuSeconds(RUSAGE_CHILDREN);
  const auto wall0 = std::chrono::steady_clock::now();
  int32_t marks = _CalculatePeak(speech.samples.data(), static_cast<int32_t>(speech.samples.size()),
                                 speech.sampleRate, nullptr);
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  const double self = CpuSeconds(RUSAGE_SELF) - self0;
  const double child = CpuSeconds(RUSAGE_CHILDREN) - child0;
  std::printf("%.0f s of speech, %d marks: wall %.2f s, library CPU %.2f s, pap.exe CPU %.2f s, "
              "real-time factor %.0fx (CPU)\n",
              settings.seconds, marks, wall, self, child, settings.seconds / (self + child));
  return 0;
}
