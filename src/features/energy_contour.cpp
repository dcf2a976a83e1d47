#include "features/energy_contour.h"

#include <cmath>

#include "features/frame_grid.h"
#include "state/memory.h"

namespace talvox {

namespace {
// Each square is divided by the frame length before it is summed.
constexpr int32_t kSquareDivisor = kFrameLength;
constexpr int32_t kHopsPerFrame = kFrameLength / kFrameHop;
// Energy per frame of 0 dB: a mean truncated square of 1.
constexpr double kReferenceEnergy = 128.0;

int32_t Decibels(int32_t energy) {
  if (energy <= 1) return 0;
  return static_cast<int32_t>(20.0 * std::log10(energy / kReferenceEnergy));
}
}  // namespace

int32_t SlidingFrameEnergy(const int16_t* samples, int32_t count, int32_t* energies) {
  const int32_t frames = FrameCount(count);
  // First the sum of each hop's terms, in place ...
  for (int32_t f = 0; f < frames; ++f) {
    const int32_t start = f * kFrameHop;
    const int32_t stop = count - start < kFrameHop ? count : start + kFrameHop;
    int32_t sum = 0;
    for (int32_t i = start; i < stop; ++i) {
      const int32_t x = samples[i];
      sum += x * x / kSquareDivisor;
    }
    energies[f] = sum;
  }
  // ... then each frame is the sum of its eight hops, by a running sum.
  int32_t window = 0;
  for (int32_t f = 0; f < frames && f < kHopsPerFrame; ++f) window += energies[f];
  for (int32_t f = 0; f < frames; ++f) {
    const int32_t leaving = energies[f];
    energies[f] = window;
    window -= leaving;
    if (f + kHopsPerFrame < frames) window += energies[f + kHopsPerFrame];
  }
  return frames;
}

int32_t EnergyContour(const int16_t* samples, int32_t count, int32_t* energy, int32_t* length) {
  if (samples == nullptr || energy == nullptr || length == nullptr || count <= 0) return 0;
  const int32_t frames = SlidingFrameEnergy(samples, count, energy);
  *length = frames;
  for (int32_t f = 0; f < frames; ++f) energy[f] = Decibels(energy[f]);
  return 1;
}

int32_t CalculateDocumentEnergy(DocumentState& doc, const int16_t* samples, int32_t count) {
  if (samples == nullptr || count <= 0) return 0;
  doc.energy = Reallocate(doc.energy, static_cast<size_t>(count / kFrameHop + kEnergySlack));
  return EnergyContour(samples, count, doc.energy, &doc.energyLength);
}

}  // namespace talvox
