// Spectrogram columns of a stretch for the page, from the library's own
// spectrum frames (64 bins, 0.25 dB steps above 60 dB).
#pragma once

#include <cstdint>
#include <vector>

namespace tvx::view {

constexpr int kSpectrumBins = 64;

// columns x 64 bytes: per column the loudest value of each bin over the
// frames starting in it. Long stretches use a few frames per column.
std::vector<uint8_t> SpectrogramColumns(const int16_t* samples, int64_t length, int64_t from, int64_t to,
                                        int columns);

}  // namespace tvx::view
