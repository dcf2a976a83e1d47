// The frame grid shared by the spectrogram and the energy contour: frames of
// 128 samples every 16 samples, produced while a frame starts inside the
// signal, so the last ones reach past its end.
#pragma once

#include <cstdint>

namespace talvox {

constexpr int32_t kFrameLength = 128;
constexpr int32_t kFrameHop = 16;

// ceil(count / 16); 0 for count <= 0.
inline int32_t FrameCount(int32_t count) {
  return count <= 0 ? 0 : count / kFrameHop + (count % kFrameHop != 0);
}

}  // namespace talvox
