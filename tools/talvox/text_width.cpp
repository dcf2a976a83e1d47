#include "text_width.h"

#include <wchar.h>

#include <clocale>
#include <cstdint>

namespace tvx {
namespace {

// One character: its bytes as shown and the columns they take.
struct Glyph {
  std::string bytes;
  int columns;
};

// Code point of the UTF-8 sequence at at, its length in length; -1 when
// the bytes there are no valid sequence (overlong, surrogate, cut short).
int32_t Decode(const std::string& text, size_t at, size_t& length) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  length = 1;
  if (lead < 0x80) return lead;
  int extra = lead >= 0xF0 && lead <= 0xF4 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : -1;
  if (extra < 0 || at + static_cast<size_t>(extra) >= text.size()) return -1;
  int32_t code = lead & (0x3F >> extra);
  for (int k = 1; k <= extra; k++) {
    unsigned char next = byte(at + static_cast<size_t>(k));
    if ((next & 0xC0) != 0x80) return -1;
    code = (code << 6) | (next & 0x3F);
  }
  static const int32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return -1;
  length = static_cast<size_t>(extra) + 1;
  return code;
}

int ColumnsOf(int32_t code) {
  // wcwidth knows the character classes only in a UTF-8 locale.
  static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  int width = -1;
  if (utf8) {
    locale_t previous = uselocale(utf8);
    width = wcwidth(static_cast<wchar_t>(code));
    uselocale(previous);
  }
  return width < 0 ? 1 : width;
}

Glyph NextGlyph(const std::string& text, size_t& at) {
  size_t length = 1;
  int32_t code = Decode(text, at, length);
  Glyph glyph;
  if (code < 0x20 || code == 0x7F) {
    glyph = {"?", 1};  // invalid, or a control character
  } else {
    glyph = {text.substr(at, length), ColumnsOf(code)};
  }
  at += length;
  return glyph;
}

}  // namespace

int DisplayWidth(const std::string& text) {
  int columns = 0;
  for (size_t at = 0; at < text.size();) columns += NextGlyph(text, at).columns;
  return columns;
}

std::string FitToColumns(const std::string& text, int columns) {
  std::string out;
  int used = 0;
  for (size_t at = 0; at < text.size();) {
    Glyph glyph = NextGlyph(text, at);
    if (used + glyph.columns > columns) break;
    out += glyph.bytes;
    used += glyph.columns;
  }
  return out + std::string(static_cast<size_t>(columns - used), ' ');
}

}  // namespace tvx
