// PNG: signature, IHDR, one IDAT of a zlib stream made of stored blocks, IEND.
#include "platform/headless/png.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <fstream>
#include <string_view>
#include <vector>

namespace platform::headless {

namespace {

using Bytes = std::vector<unsigned char>;

constexpr std::size_t STORED_BLOCK_LIMIT = 65535;

std::uint32_t crc32(const unsigned char* data, std::size_t size, std::uint32_t crc = 0) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void put_u32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(v >> shift));
}

void put_chunk(Bytes& out, std::string_view type, const Bytes& data) {
  put_u32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t type_at = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  put_u32(out, crc32(out.data() + type_at, out.size() - type_at));
}

}  // namespace

bool write_png(const std::string& path, std::span<const std::uint32_t> pixels, std::int32_t width,
               std::int32_t height) {
  if (width < 1 || height < 1 || pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
    return false;
  }
  const auto w = static_cast<std::size_t>(width);
  const auto h = static_cast<std::size_t>(height);

  Bytes raw;  // filter byte 0, then RGB, per row
  raw.reserve(h * (1 + 3 * w));
  for (std::size_t y = 0; y < h; ++y) {
    raw.push_back(0);
    for (std::size_t x = 0; x < w; ++x) {
      const std::uint32_t p = pixels[y * w + x];
      raw.push_back(static_cast<unsigned char>(p >> 16));
      raw.push_back(static_cast<unsigned char>(p >> 8));
      raw.push_back(static_cast<unsigned char>(p));
    }
  }

  Bytes zlib{0x78, 0x01};
  zlib.reserve(raw.size() + raw.size() / STORED_BLOCK_LIMIT * 5 + 16);
  std::size_t at = 0;
  do {
    const std::size_t length = std::min(STORED_BLOCK_LIMIT, raw.size() - at);
    const bool last = at + length == raw.size();
    zlib.push_back(last ? 1 : 0);
    zlib.push_back(static_cast<unsigned char>(length));
    zlib.push_back(static_cast<unsigned char>(length >> 8));
    zlib.push_back(static_cast<unsigned char>(~length));
    zlib.push_back(static_cast<unsigned char>(~length >> 8));
    zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                raw.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
  } while (at < raw.size());
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const unsigned char byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  put_u32(zlib, (b << 16) | a);

  Bytes header;
  put_u32(header, static_cast<std::uint32_t>(width));
  put_u32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace

  Bytes file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  put_chunk(file, "IHDR", header);
  put_chunk(file, "IDAT", zlib);
  put_chunk(file, "IEND", {});

  std::ofstream out{path, std::ios::binary | std::ios::trunc};
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace platform::headless
