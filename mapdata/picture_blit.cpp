// Row kernels of picture drawing. The scalar set is the rule itself and runs
// anywhere; on x86-64 SSE2 is always there, and AVX2 and AVX-512 are used
// when the processor reports them at run time.
#include "mapdata/picture_blit.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(_M_X64)
#define TANDREL_X86_KERNELS 1
#include <immintrin.h>
#endif

namespace mapdata::blit {
namespace {

constexpr std::uint32_t key = 0xFF00FF;  // the key colour's low 24 bits

void keyed_scalar(std::uint32_t* dst, const std::uint32_t* src, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t colour = src[i] & colour_bits;
    if (colour != key) dst[i] = colour;
  }
}

void clear_alpha_scalar(std::uint32_t* dst, const std::uint32_t* src, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) dst[i] = src[i] & colour_bits;
}

std::size_t find_scalar(const std::uint32_t* row, std::size_t from, std::size_t count, bool key_wanted) {
  std::size_t x = from;
  while (x < count && ((row[x] & colour_bits) == key) != key_wanted) ++x;
  return x;
}

// One keyed draw by packed runs: the first row's runs and pixels, and how
// many rows the runs cover of those asked for. When the draw shows whole
// rows each run goes to its own column; otherwise each run's part within the
// clip, the pixels of every run being passed over all the same. The tables
// fit together (PackedRuns makes sure of it).
struct PackedDraw {
  PackedDraw(const PackedRuns& packed, std::size_t first_row, std::size_t rows, std::int64_t clip_begin,
             std::int64_t clip_end) {
    const auto height = static_cast<std::size_t>(packed.height());
    if (first_row >= height || clip_begin < 0 || clip_end > packed.width()) return;
    row_ends = packed.run_start() + first_row + 1;
    runs = packed.runs();
    run = runs + packed.run_start()[first_row];
    pixels = packed.pixels() + packed.pixel_start()[first_row];
    this->rows = std::min(rows, height - first_row);
    this->clip_begin = clip_begin;
    this->clip_end = clip_end;
    whole_rows = clip_begin == 0 && clip_end == packed.width();
  }

  // The end of row r's runs.
  const PixelRun* row_end(std::size_t r) const { return runs + row_ends[r]; }

  // The next visible part of row r's runs (the walk being in row r): its
  // offset from clip_begin, its pixels and its length; false when the row
  // has no more.
  bool next_clipped(std::size_t r, std::size_t& offset, const std::uint32_t*& src, std::size_t& length) {
    for (const PixelRun* end = row_end(r); run < end;) {
      const PixelRun here = *run++;
      const std::uint32_t* here_pixels = pixels;
      pixels += here.end - here.begin;
      const std::int64_t begin = std::max<std::int64_t>(here.begin, clip_begin);
      const std::int64_t end_column = std::min<std::int64_t>(here.end, clip_end);
      if (begin < end_column) {
        offset = static_cast<std::size_t>(begin - clip_begin);
        src = here_pixels + (begin - here.begin);
        length = static_cast<std::size_t>(end_column - begin);
        return true;
      }
    }
    return false;
  }

  const std::uint32_t* row_ends = nullptr;  // row_ends[r]: the index past row r's last run
  const PixelRun* runs = nullptr;
  const PixelRun* run = nullptr;          // the next run
  const std::uint32_t* pixels = nullptr;  // its pixels
  std::size_t rows = 0;
  std::int64_t clip_begin = 0, clip_end = 0;
  bool whole_rows = false;
};

// From this many pixels on, a row is copied by the C library's memcpy,
// which is tuned for long blocks; shorter rows are cheaper copied inline.
constexpr std::size_t long_row = 512;

void opaque_scalar(std::uint32_t* dst, std::size_t dst_stride, const std::uint32_t* src, std::size_t src_stride,
                   std::size_t width, std::size_t rows) {
  for (std::size_t r = 0; r < rows; ++r, dst += dst_stride, src += src_stride) {
    std::memcpy(dst, src, width * sizeof(std::uint32_t));
  }
}

// The walk of a packed picture's runs, the same for every vector unit:
// `copy` is that unit's copy of a stretch. Inlined into each unit's function
// so that the copy is compiled for that unit.
template <void (*copy)(std::uint32_t*, const std::uint32_t*, std::size_t)>
__attribute__((always_inline)) inline void walk_packed(std::uint32_t* dst, std::size_t dst_stride,
                                                       const PackedRuns& packed, std::size_t first_row,
                                                       std::size_t rows, std::int64_t clip_begin,
                                                       std::int64_t clip_end) {
  PackedDraw draw(packed, first_row, rows, clip_begin, clip_end);
  if (draw.whole_rows) {
    for (std::size_t r = 0; r < draw.rows; ++r, dst += dst_stride) {
      for (const PixelRun* end = draw.row_end(r); draw.run < end; ++draw.run) {
        const auto length = static_cast<std::size_t>(draw.run->end - draw.run->begin);
        copy(dst + draw.run->begin, draw.pixels, length);
        draw.pixels += length;
      }
    }
    return;
  }
  std::size_t offset = 0, length = 0;
  const std::uint32_t* src = nullptr;
  for (std::size_t r = 0; r < draw.rows; ++r, dst += dst_stride) {
    while (draw.next_clipped(r, offset, src, length)) copy(dst + offset, src, length);
  }
}

inline void copy_scalar(std::uint32_t* dst, const std::uint32_t* src, std::size_t n) {
  std::memcpy(dst, src, n * sizeof(std::uint32_t));
}

void packed_scalar(std::uint32_t* dst, std::size_t dst_stride, const PackedRuns& packed, std::size_t first_row,
                   std::size_t rows, std::int64_t clip_begin, std::int64_t clip_end) {
  walk_packed<copy_scalar>(dst, dst_stride, packed, first_row, rows, clip_begin, clip_end);
}

#ifdef TANDREL_X86_KERNELS

// SSE2: four pixels a step; blocks wholly of key colour or wholly without it
// are common in sprites and skip the blend.
void keyed_sse2(std::uint32_t* dst, const std::uint32_t* src, std::size_t count) {
  const __m128i keys = _mm_set1_epi32(static_cast<int>(key));
  const __m128i colour_mask = _mm_set1_epi32(static_cast<int>(colour_bits));
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i colour = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)), colour_mask);
    const __m128i keyed = _mm_cmpeq_epi32(colour, keys);
    const int bits = _mm_movemask_epi8(keyed);
    if (bits == 0xFFFF) continue;
    auto* out = reinterpret_cast<__m128i*>(dst + i);
    if (bits == 0) {
      _mm_storeu_si128(out, colour);
    } else {
      const __m128i kept = _mm_and_si128(keyed, _mm_loadu_si128(out));
      _mm_storeu_si128(out, _mm_or_si128(kept, _mm_andnot_si128(keyed, colour)));
    }
  }
  keyed_scalar(dst + i, src + i, count - i);
}

void clear_alpha_sse2(std::uint32_t* dst, const std::uint32_t* src, std::size_t count) {
  const __m128i colour_mask = _mm_set1_epi32(static_cast<int>(colour_bits));
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_and_si128(pixels, colour_mask));
  }
  clear_alpha_scalar(dst + i, src + i, count - i);
}

std::size_t find_sse2(const std::uint32_t* row, std::size_t from, std::size_t count, bool key_wanted) {
  const __m128i keys = _mm_set1_epi32(static_cast<int>(key));
  const __m128i colour_mask = _mm_set1_epi32(static_cast<int>(colour_bits));
  const int flip = key_wanted ? 0 : 0xFFFF;
  std::size_t x = from;
  for (; x + 4 <= count; x += 4) {
    const __m128i colour = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)), colour_mask);
    const int found = _mm_movemask_epi8(_mm_cmpeq_epi32(colour, keys)) ^ flip;
    if (found != 0) return x + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(found))) / 4;
  }
  return find_scalar(row, x, count, key_wanted);
}

// Copies n pixels in whole vectors; the last ends at the row's end and may
// overlap the one before, which writes the same pixels. dst and src are
// apart (screen and image).
inline void copy_sse2(std::uint32_t* dst, const std::uint32_t* src, std::size_t n) {
  if (n < 4) {
    for (std::size_t i = 0; i < n; ++i) dst[i] = src[i];
    return;
  }
  for (std::size_t i = 0; i + 4 < n; i += 4) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + n - 4),
                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + n - 4)));
}

void opaque_sse2(std::uint32_t* dst, std::size_t dst_stride, const std::uint32_t* src, std::size_t src_stride,
                 std::size_t width, std::size_t rows) {
  if (width >= long_row) {
    opaque_scalar(dst, dst_stride, src, src_stride, width, rows);
    return;
  }
  for (std::size_t r = 0; r < rows; ++r, dst += dst_stride, src += src_stride) copy_sse2(dst, src, width);
}

void packed_sse2(std::uint32_t* dst, std::size_t dst_stride, const PackedRuns& packed, std::size_t first_row,
                 std::size_t rows, std::int64_t clip_begin, std::int64_t clip_end) {
  walk_packed<copy_sse2>(dst, dst_stride, packed, first_row, rows, clip_begin, clip_end);
}

__attribute__((target("avx2"))) void keyed_avx2(std::uint32_t* dst, const std::uint32_t* src, std::size_t count) {
  const __m256i keys = _mm256_set1_epi32(static_cast<int>(key));
  const __m256i colour_mask = _mm256_set1_epi32(static_cast<int>(colour_bits));
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i colour = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)), colour_mask);
    const __m256i keyed = _mm256_cmpeq_epi32(colour, keys);
    const int bits = _mm256_movemask_epi8(keyed);
    if (bits == -1) continue;
    auto* out = reinterpret_cast<__m256i*>(dst + i);
    if (bits == 0) {
      _mm256_storeu_si256(out, colour);
    } else {
      _mm256_storeu_si256(out, _mm256_blendv_epi8(colour, _mm256_loadu_si256(out), keyed));
    }
  }
  keyed_sse2(dst + i, src + i, count - i);
}

__attribute__((target("avx2"))) void clear_alpha_avx2(std::uint32_t* dst, const std::uint32_t* src, std::size_t count) {
  const __m256i colour_mask = _mm256_set1_epi32(static_cast<int>(colour_bits));
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_and_si256(pixels, colour_mask));
  }
  clear_alpha_sse2(dst + i, src + i, count - i);
}

__attribute__((target("avx2"))) std::size_t find_avx2(const std::uint32_t* row, std::size_t from, std::size_t count,
                                                      bool key_wanted) {
  const __m256i keys = _mm256_set1_epi32(static_cast<int>(key));
  const __m256i colour_mask = _mm256_set1_epi32(static_cast<int>(colour_bits));
  const unsigned flip = key_wanted ? 0u : 0xFFFFFFFFu;
  std::size_t x = from;
  for (; x + 8 <= count; x += 8) {
    const __m256i colour = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x)), colour_mask);
    const unsigned found = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi32(colour, keys))) ^ flip;
    if (found != 0) return x + static_cast<std::size_t>(__builtin_ctz(found)) / 4;
  }
  return find_sse2(row, x, count, key_wanted);
}

__attribute__((target("avx2"))) inline void copy_avx2(std::uint32_t* dst, const std::uint32_t* src, std::size_t n) {
  if (n < 8) {
    copy_sse2(dst, src, n);
    return;
  }
  for (std::size_t i = 0; i + 8 < n; i += 8) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i),
                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)));
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + n - 8),
                      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + n - 8)));
}

__attribute__((target("avx2"))) void opaque_avx2(std::uint32_t* dst, std::size_t dst_stride, const std::uint32_t* src,
                                                 std::size_t src_stride, std::size_t width, std::size_t rows) {
  if (width >= long_row) {
    opaque_scalar(dst, dst_stride, src, src_stride, width, rows);
    return;
  }
  for (std::size_t r = 0; r < rows; ++r, dst += dst_stride, src += src_stride) copy_avx2(dst, src, width);
}

__attribute__((target("avx2"))) void packed_avx2(std::uint32_t* dst, std::size_t dst_stride, const PackedRuns& packed,
                                                 std::size_t first_row, std::size_t rows, std::int64_t clip_begin,
                                                 std::int64_t clip_end) {
  walk_packed<copy_avx2>(dst, dst_stride, packed, first_row, rows, clip_begin, clip_end);
}

// AVX-512: sixteen pixels a step; the compare gives a mask register that the
// store takes directly, and the tail is one masked step too.
__attribute__((target("avx512f"))) void keyed_avx512(std::uint32_t* dst, const std::uint32_t* src, std::size_t count) {
  const __m512i keys = _mm512_set1_epi32(static_cast<int>(key));
  const __m512i colour_mask = _mm512_set1_epi32(static_cast<int>(colour_bits));
  std::size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m512i colour = _mm512_and_si512(_mm512_loadu_si512(src + i), colour_mask);
    const __mmask16 drawn = _mm512_cmpneq_epi32_mask(colour, keys);
    if (drawn != 0) _mm512_mask_storeu_epi32(dst + i, drawn, colour);
  }
  if (i < count) {
    const auto tail = static_cast<__mmask16>((1u << (count - i)) - 1u);
    const __m512i colour = _mm512_and_si512(_mm512_maskz_loadu_epi32(tail, src + i), colour_mask);
    const __mmask16 drawn = _mm512_mask_cmpneq_epi32_mask(tail, colour, keys);
    _mm512_mask_storeu_epi32(dst + i, drawn, colour);
  }
}

__attribute__((target("avx512f"))) void clear_alpha_avx512(std::uint32_t* dst, const std::uint32_t* src,
                                                           std::size_t count) {
  const __m512i colour_mask = _mm512_set1_epi32(static_cast<int>(colour_bits));
  // A first masked step up to a 64-byte boundary of dst, so that the full
  // steps store whole cache lines.
  const std::size_t to_boundary = ((64 - (reinterpret_cast<std::uintptr_t>(dst) & 63)) & 63) / 4;
  std::size_t i = std::min(to_boundary, count);
  if (i != 0) {
    const auto head = static_cast<__mmask16>((1u << i) - 1u);
    _mm512_mask_storeu_epi32(dst, head, _mm512_maskz_and_epi32(head, _mm512_maskz_loadu_epi32(head, src), colour_mask));
  }
  for (; i + 16 <= count; i += 16) {
    _mm512_storeu_si512(dst + i, _mm512_and_si512(_mm512_loadu_si512(src + i), colour_mask));
  }
  if (i < count) {
    const auto tail = static_cast<__mmask16>((1u << (count - i)) - 1u);
    _mm512_mask_storeu_epi32(dst + i, tail,
                             _mm512_maskz_and_epi32(tail, _mm512_maskz_loadu_epi32(tail, src + i), colour_mask));
  }
}

__attribute__((target("avx512f"))) std::size_t find_avx512(const std::uint32_t* row, std::size_t from,
                                                           std::size_t count, bool key_wanted) {
  const __m512i keys = _mm512_set1_epi32(static_cast<int>(key));
  const __m512i colour_mask = _mm512_set1_epi32(static_cast<int>(colour_bits));
  std::size_t x = from;
  for (; x < count; x += 16) {
    const __mmask16 valid =
        count - x >= 16 ? static_cast<__mmask16>(0xFFFF) : static_cast<__mmask16>((1u << (count - x)) - 1u);
    const __m512i colour = _mm512_and_si512(_mm512_maskz_loadu_epi32(valid, row + x), colour_mask);
    const __mmask16 found = key_wanted ? _mm512_mask_cmpeq_epi32_mask(valid, colour, keys)
                                       : _mm512_mask_cmpneq_epi32_mask(valid, colour, keys);
    if (found != 0) return x + static_cast<std::size_t>(__builtin_ctz(found));
  }
  return count;
}

// Up to sixteen pixels are one masked step. Longer copies store their
// first sixteen, then whole 64-byte lines of dst, then the sixteen that end
// at n, so that no store but the first and last splits a cache line.
__attribute__((target("avx512f"))) inline void copy_avx512(std::uint32_t* dst, const std::uint32_t* src,
                                                           std::size_t n) {
  if (n < 16) {
    copy_avx2(dst, src, n);
    return;
  }
  _mm512_storeu_si512(dst, _mm512_loadu_si512(src));
  std::size_t i = 16 - ((reinterpret_cast<std::uintptr_t>(dst) / sizeof(std::uint32_t)) & 15);
  for (; i + 16 <= n; i += 16) _mm512_storeu_si512(dst + i, _mm512_loadu_si512(src + i));
  _mm512_storeu_si512(dst + n - 16, _mm512_loadu_si512(src + n - 16));
}

__attribute__((target("avx512f"))) void opaque_avx512(std::uint32_t* dst, std::size_t dst_stride,
                                                      const std::uint32_t* src, std::size_t src_stride,
                                                      std::size_t width, std::size_t rows) {
  if (width >= long_row) {
    opaque_scalar(dst, dst_stride, src, src_stride, width, rows);
    return;
  }
  for (std::size_t r = 0; r < rows; ++r, dst += dst_stride, src += src_stride) copy_avx512(dst, src, width);
}

__attribute__((target("avx512f"))) void packed_avx512(std::uint32_t* dst, std::size_t dst_stride,
                                                      const PackedRuns& packed, std::size_t first_row, std::size_t rows,
                                                      std::int64_t clip_begin, std::int64_t clip_end) {
  walk_packed<copy_avx512>(dst, dst_stride, packed, first_row, rows, clip_begin, clip_end);
}

#endif  // TANDREL_X86_KERNELS

struct KernelList {
  std::array<Kernels, 4> sets{};
  std::size_t count = 0;
};

KernelList find_kernels() {
  KernelList list;
  list.sets[list.count++] = {"scalar", keyed_scalar, clear_alpha_scalar, find_scalar, opaque_scalar, packed_scalar};
#ifdef TANDREL_X86_KERNELS
  list.sets[list.count++] = {"sse2", keyed_sse2, clear_alpha_sse2, find_sse2, opaque_sse2, packed_sse2};
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2"))
    list.sets[list.count++] = {"avx2", keyed_avx2, clear_alpha_avx2, find_avx2, opaque_avx2, packed_avx2};
  if (__builtin_cpu_supports("avx512f"))
    list.sets[list.count++] = {"avx512", keyed_avx512, clear_alpha_avx512, find_avx512, opaque_avx512, packed_avx512};
#endif
  return list;
}

const KernelList& kernel_list() {
  static const KernelList list = find_kernels();
  return list;
}

}  // namespace

std::span<const Kernels> available_kernels() {
  const KernelList& list = kernel_list();
  return {list.sets.data(), list.count};
}

const Kernels& best_kernels() {
  const KernelList& list = kernel_list();
  return list.sets[list.count - 1];
}

}  // namespace mapdata::blit
