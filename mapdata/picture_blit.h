// The row kernels of picture drawing, one set per vector unit, and the
// choice of the widest set this processor runs. Internal to mapdata (and
// its tests, which hold every set to the scalar one's pixels).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "mapdata/mapdata.h"

namespace mapdata::blit {

// Low 24 bits of a pixel, the part compared with the key colour.
inline constexpr std::uint32_t colour_bits = 0x00FFFFFF;

// Writes each of the `count` pixels of src that is not key-coloured to dst
// with its alpha byte cleared; dst keeps its pixel where src has the key.
using KeyedRow = void (*)(std::uint32_t* dst, const std::uint32_t* src, std::size_t count);
// Copies `count` pixels with their alpha bytes cleared (a run known to hold no key colour).
using ClearAlphaRow = void (*)(std::uint32_t* dst, const std::uint32_t* src, std::size_t count);
// The index of the first pixel in [from, count) that has the key colour when
// `key` is true, or that has not when it is false; `count` when there is none.
using FindInRow = std::size_t (*)(const std::uint32_t* row, std::size_t from, std::size_t count, bool key);

// Copies with alpha cleared the part of each of `count` runs of one row that
// lies in the columns [clip_begin, clip_end); dst and src are that row's
// pixels at column clip_begin. Runs are in order from the left.
using RunsRow = void (*)(std::uint32_t* dst, const std::uint32_t* src, const PixelRun* runs, std::size_t count,
                         std::int64_t clip_begin, std::int64_t clip_end);

struct Kernels {
  const char* name;            // "scalar", "sse2", "avx2", "avx512"
  KeyedRow keyed;
  ClearAlphaRow clear_alpha;
  FindInRow find;
  RunsRow runs;
};

// The sets this processor can run, the portable scalar one first, then by width.
std::span<const Kernels> available_kernels();
// The widest of them, chosen once at the first call.
const Kernels& best_kernels();

}  // namespace mapdata::blit
