#include "spectrogram_columns.h"

#include <algorithm>

#include "talvox.h"

namespace tvx::view {
namespace {

constexpr int64_t kHop = 16;             // samples between spectrum frames
constexpr int64_t kFrame = 128;          // samples of one frame
constexpr int64_t kAllFramesLimit = 40000;  // frames computed in one pass before sampling
constexpr int kFramesPerColumn = 2;      // frames sampled across a long column

void TakeLoudest(uint8_t* column, const uint8_t* frame) {
  for (int k = 0; k < kSpectrumBins; k++) column[k] = std::max(column[k], frame[k]);
}

// Frames of samples[from, from + count) with their full 128 samples wherever
// the signal has them, into out (frames x 64 bytes).
int32_t Frames(const int16_t* samples, int64_t length, int64_t from, int64_t count, std::vector<uint8_t>& out) {
  int64_t reach = std::min(length - from, count + kFrame - kHop);
  int32_t frames = int32_t((count + kHop - 1) / kHop);
  int32_t computed = int32_t((reach + kHop - 1) / kHop);
  out.assign(size_t(std::max(frames, computed)) * kSpectrumBins, 0);
  if (reach <= 0) return 0;
  _CalculateSpectrum(samples + from, int32_t(reach), out.data());
  return std::min(frames, computed);
}

}  // namespace

std::vector<uint8_t> SpectrogramColumns(const int16_t* samples, int64_t length, int64_t from, int64_t to,
                                        int columns) {
  std::vector<uint8_t> result;
  from = std::clamp<int64_t>(from, 0, length);
  to = std::clamp<int64_t>(to, from, length);
  if (columns <= 0 || to <= from) return result;
  result.assign(size_t(columns) * kSpectrumBins, 0);
  int64_t span = to - from;
  std::vector<uint8_t> frames;
  if (span / kHop <= kAllFramesLimit) {
    int32_t count = Frames(samples, length, from, span, frames);
    for (int32_t f = 0; f < count; f++) {
      int64_t column = std::min<int64_t>(columns - 1, (f * kHop) * columns / span);
      TakeLoudest(&result[size_t(column) * kSpectrumBins], &frames[size_t(f) * kSpectrumBins]);
    }
    // Columns narrower than the hop between frames repeat their neighbour.
    for (int c = 1; span / kHop < columns && c < columns; c++) {
      uint8_t* column = &result[size_t(c) * kSpectrumBins];
      if (std::all_of(column, column + kSpectrumBins, [](uint8_t v) { return v == 0; }))
        std::copy(column - kSpectrumBins, column, column);
    }
    return result;
  }
  for (int c = 0; c < columns; c++) {
    int64_t a = from + span * c / columns;
    int64_t b = from + span * (c + 1) / columns;
    for (int k = 0; k < kFramesPerColumn; k++) {
      int64_t at = a + (b - a) * k / kFramesPerColumn;
      if (Frames(samples, length, at, kHop, frames) > 0)
        TakeLoudest(&result[size_t(c) * kSpectrumBins], frames.data());
    }
  }
  return result;
}

}  // namespace tvx::view
