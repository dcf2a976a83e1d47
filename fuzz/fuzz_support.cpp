#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "state/document.h"
#include "wave/wave_buffer.h"

namespace talvox::fuzz {

namespace {
const std::string& Folder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/talvox-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    return std::string(pattern);
  }();
  return folder;
}

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}
}  // namespace

std::string WriteInput(const uint8_t* data, size_t size, const char* name) {
  std::string path = Folder() + "/" + name;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
  return path;
}

void CheckWaveInvariants() {
  const WaveBuffer& wave = TheWave();
  if (wave.header.channels < 1 || wave.header.channels > 2) Broken("channel count");
  if (wave.Length() < 0) Broken("negative length");
  if (wave.Length() > 0 && wave.SafeLength() != wave.Length()) Broken("arrays shorter than the length");
}

void CheckDocumentInvariants() {
  const DocumentState& doc = TheDocument();
  const TvxDocument& r = doc.record;
  if (r.elementCount < 0 || r.elementCount > r.elementCapacity) Broken("element count");
  if (r.peakCount < 0) Broken("negative peak count");
  if (r.peakCount > 0 && (r.peaks == nullptr || r.peakCount > doc.peakRoom)) Broken("peak room");
  if (r.peakCount > 1 && (r.modifiedPitch == nullptr || r.peakCount - 1 > doc.pitchRoom))
    Broken("modified pitch room");
  if (r.spectrumFrames < 0) Broken("spectrum frames");
  for (int32_t i = 0; i < r.elementCount; ++i) {
    bool terminated = false;
    for (char c : r.elements[i].desc) terminated = terminated || c == '\0';
    if (!terminated) Broken("unterminated description");
  }
}

}  // namespace talvox::fuzz
