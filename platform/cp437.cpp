// Code page 437, the code page of the built-in font and of the key codes,
// to and from Unicode.
#include <array>
#include <cstdint>
#include <string>

#include "platform/backend.h"

namespace platform::backend {

namespace {

// The characters of the codes 128..255.
constexpr std::array<char16_t, 128> UPPER_HALF{
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

int cp437_from_unicode(char32_t c) {
  if (c < 0x80) return static_cast<int>(c);
  for (std::size_t i = 0; i < UPPER_HALF.size(); ++i) {
    if (UPPER_HALF[i] == c) return static_cast<int>(0x80 + i);
  }
  if (c == 0x03B2) return 0xE1;  // beta looks like sharp s
  return -1;
}

std::string utf8_from_cp437(std::string_view text) {
  std::string out;
  for (const char byte : text) {
    const auto code = static_cast<unsigned char>(byte);
    append_utf8(out, code < 0x80 ? char32_t{code} : char32_t{UPPER_HALF[code - 0x80]});
  }
  return out;
}

std::string cp437_from_utf8(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    char32_t c = lead;
    if (lead >= 0xF0) {
      length = 4;
      c = lead & 0x07;
    } else if (lead >= 0xE0) {
      length = 3;
      c = lead & 0x0F;
    } else if (lead >= 0xC0) {
      length = 2;
      c = lead & 0x1F;
    } else if (lead >= 0x80) {
      ++i;  // a stray continuation byte
      continue;
    }
    if (i + length > text.size()) break;
    bool valid = true;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) valid = false;
      c = (c << 6) | (next & 0x3F);
    }
    if (!valid) {
      ++i;
      continue;
    }
    i += length;
    const int code = cp437_from_unicode(c);
    if (code >= 0) out += static_cast<char>(code);
  }
  return out;
}

}  // namespace platform::backend
