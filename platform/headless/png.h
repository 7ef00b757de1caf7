// A small PNG writer for the headless backend's screenshots: RGB, 8 bits
// per channel, stored (uncompressed) deflate blocks.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace platform::headless {

// Writes width x height pixels 0xAARRGGBB (alpha ignored); false on any failure.
bool write_png(const std::string& path, std::span<const std::uint32_t> pixels, std::int32_t width, std::int32_t height);

}  // namespace platform::headless
