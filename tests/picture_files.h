// Small helpers of the picture tests: BMP files made byte by byte, a
// temporary folder, and the error number a call raised.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "mapdata/mapdata.h"
#include "platform/platform.h"

namespace picture_files {

// The fields of a BMP header; the defaults make a plain 24-bit file.
struct Bmp {
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint32_t info_size = 40;
  std::uint16_t planes = 1;
  std::uint16_t bits = 24;
  std::uint32_t compression = 0;
  std::vector<std::uint32_t> masks{};    // written at 54 (inside a long header, or after a 40-byte one)
  std::vector<std::uint32_t> palette{};  // 0x00RRGGBB, written after the info header
  std::vector<std::uint8_t> rows{};      // the pixel rows as stored, bottom row first
};

inline void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The file's bytes: header, masks, palette, then the rows at the pixel offset.
inline std::vector<std::uint8_t> bytes_of(const Bmp& bmp) {
  std::size_t tables_end = 14 + bmp.info_size;
  if (bmp.info_size == 40 && !bmp.masks.empty()) tables_end += 4 * bmp.masks.size();
  const std::size_t palette_at = tables_end;
  tables_end += 4 * bmp.palette.size();
  std::vector<std::uint8_t> b(tables_end, 0);
  b[0] = 'B';
  b[1] = 'M';
  put32(b, 2, static_cast<std::uint32_t>(tables_end + bmp.rows.size()));
  put32(b, 10, static_cast<std::uint32_t>(tables_end));
  put32(b, 14, bmp.info_size);
  put32(b, 18, static_cast<std::uint32_t>(bmp.width));
  put32(b, 22, static_cast<std::uint32_t>(bmp.height));
  put16(b, 26, bmp.planes);
  put16(b, 28, bmp.bits);
  put32(b, 30, bmp.compression);
  for (std::size_t i = 0; i < bmp.masks.size(); ++i) put32(b, 54 + 4 * i, bmp.masks[i]);
  for (std::size_t i = 0; i < bmp.palette.size(); ++i) put32(b, palette_at + 4 * i, bmp.palette[i]);
  b.insert(b.end(), bmp.rows.begin(), bmp.rows.end());
  return b;
}

// A fresh folder below the system's temporary one, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            ("tandrel_pictures_" + std::string(info ? info->name() : "x") + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string file(const std::string& name) const { return (path_ / name).string(); }
  std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file(name);
  }

 private:
  std::filesystem::path path_;
};

// The number of the runtime error that `call` raised, 0 when none.
inline int error_of(const std::function<void()>& call) {
  try {
    call();
  } catch (const platform::RuntimeError& error) {
    return error.number;
  }
  return 0;
}

}  // namespace picture_files
