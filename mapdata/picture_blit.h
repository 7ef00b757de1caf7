// The row kernels of picture drawing, one set per vector unit, and the
// choice of the widest set this processor runs. Internal to mapdata (and
// its tests, which hold every set to the scalar one's pixels).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace mapdata::blit {

// Low 24 bits of a pixel, the part compared with the key colour.
inline constexpr std::uint32_t colour_bits = 0x00FFFFFF;

// Writes each of the `count` pixels of src that is not key-coloured to dst
// with its alpha byte cleared; dst keeps its pixel where src has the key.
using KeyedRow = void (*)(std::uint32_t* dst, const std::uint32_t* src, std::size_t count);
// Copies `count` pixels with their alpha bytes cleared (a run known to hold no key colour).
using ClearAlphaRow = void (*)(std::uint32_t* dst, const std::uint32_t* src, std::size_t count);

struct Kernels {
  const char* name;            // "scalar", "sse2", "avx2", "avx512"
  KeyedRow keyed;
  ClearAlphaRow clear_alpha;
};

// The sets this processor can run, the portable scalar one first, then by width.
std::span<const Kernels> available_kernels();
// The widest of them, chosen once at the first call.
const Kernels& best_kernels();

}  // namespace mapdata::blit
