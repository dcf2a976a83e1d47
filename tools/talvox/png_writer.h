// A minimal PNG encoder (8-bit RGB, zlib from the system) and base64, for
// pictures embedded in SVG files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tvx {

// rgb holds width x height x 3 bytes, rows top to bottom.
std::vector<uint8_t> EncodePng(const std::vector<uint8_t>& rgb, int width, int height);

std::string Base64(const std::vector<uint8_t>& bytes);

}  // namespace tvx
