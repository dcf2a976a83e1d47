// pap.exe's WAV reader on arbitrary bytes: a refusal says why; an acceptance
// gives a usable rate and no more samples than the file's bytes could hold.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "wav_input.h"

using talvox::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = talvox::fuzz::WriteInput(data, size, "input.wav");
  pap::Sound sound;
  std::string error;
  if (pap::ReadWav(path, sound, error)) {
    Check(sound.sampleRate > 0 && sound.sampleRate <= 1000000, "sampling rate");
    Check(size >= 44 || sound.samples.empty(), "samples from a file without room for them");
    Check(sound.samples.size() * 2 <= size, "more samples than bytes");
  } else {
    Check(!error.empty(), "a refusal without a reason");
  }
  return 0;
}
