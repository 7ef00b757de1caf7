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

// Copies a rectangle of `rows` rows of `width` pixels unchanged; each row
// starts `dst_stride` (`src_stride`) pixels after the one before.
using OpaqueRows = void (*)(std::uint32_t* dst, std::size_t dst_stride, const std::uint32_t* src,
                            std::size_t src_stride, std::size_t width, std::size_t rows);

// Copies the packed pixels of a picture's runs that lie in its columns
// [clip_begin, clip_end) of the rows first_row .. first_row + rows - 1; dst
// is the screen pixel of (clip_begin, first_row), and the screen's rows are
// `dst_stride` pixels apart. Rows beyond the picture are not drawn, and
// nothing is when the clip reaches beyond its columns.
using PackedRows = void (*)(std::uint32_t* dst, std::size_t dst_stride, const PackedRuns& packed, std::size_t first_row,
                            std::size_t rows, std::int64_t clip_begin, std::int64_t clip_end);

struct Kernels {
  const char* name;  // "scalar", "sse2", "avx2", "avx512"
  KeyedRow keyed;
  ClearAlphaRow clear_alpha;
  FindInRow find;
  OpaqueRows opaque;
  PackedRows packed;
};

// The sets this processor can run, the portable scalar one first, then by width.
std::span<const Kernels> available_kernels();
// The widest of them, chosen once at the first call.
const Kernels& best_kernels();

}  // namespace mapdata::blit
