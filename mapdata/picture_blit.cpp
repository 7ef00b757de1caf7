// Row kernels of picture drawing. The scalar set is the rule itself and runs
// anywhere; on x86-64 SSE2 is always there, and AVX2 and AVX-512 are used
// when the processor reports them at run time.
#include "mapdata/picture_blit.h"

#include <algorithm>
#include <array>

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

// The visible part of a run: its offset from clip_begin and its length;
// false when nothing of it is visible.
inline bool clip_run(PixelRun run, std::int64_t clip_begin, std::int64_t clip_end, std::size_t& offset,
                     std::size_t& length) {
  const std::int64_t begin = std::max<std::int64_t>(run.begin, clip_begin);
  const std::int64_t end = std::min<std::int64_t>(run.end, clip_end);
  if (begin >= end) return false;
  offset = static_cast<std::size_t>(begin - clip_begin);
  length = static_cast<std::size_t>(end - begin);
  return true;
}

void runs_scalar(std::uint32_t* dst, const std::uint32_t* src, const PixelRun* runs, std::size_t count,
                 std::int64_t clip_begin, std::int64_t clip_end) {
  std::size_t offset = 0, length = 0;
  for (std::size_t i = 0; i < count && runs[i].begin < clip_end; ++i) {
    if (clip_run(runs[i], clip_begin, clip_end, offset, length)) clear_alpha_scalar(dst + offset, src + offset, length);
  }
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

void runs_sse2(std::uint32_t* dst, const std::uint32_t* src, const PixelRun* runs, std::size_t count,
               std::int64_t clip_begin, std::int64_t clip_end) {
  std::size_t offset = 0, length = 0;
  for (std::size_t i = 0; i < count && runs[i].begin < clip_end; ++i) {
    if (clip_run(runs[i], clip_begin, clip_end, offset, length)) clear_alpha_sse2(dst + offset, src + offset, length);
  }
}

__attribute__((target("avx2"))) void keyed_avx2(std::uint32_t* dst, const std::uint32_t* src, std::size_t count) {
  const __m256i keys = _mm256_set1_epi32(static_cast<int>(key));
  const __m256i colour_mask = _mm256_set1_epi32(static_cast<int>(colour_bits));
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i colour =
        _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)), colour_mask);
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

__attribute__((target("avx2"))) void clear_alpha_avx2(std::uint32_t* dst, const std::uint32_t* src,
                                                      std::size_t count) {
  const __m256i colour_mask = _mm256_set1_epi32(static_cast<int>(colour_bits));
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_and_si256(pixels, colour_mask));
  }
  clear_alpha_sse2(dst + i, src + i, count - i);
}

__attribute__((target("avx2"))) std::size_t find_avx2(const std::uint32_t* row, std::size_t from,
                                                      std::size_t count, bool key_wanted) {
  const __m256i keys = _mm256_set1_epi32(static_cast<int>(key));
  const __m256i colour_mask = _mm256_set1_epi32(static_cast<int>(colour_bits));
  const unsigned flip = key_wanted ? 0u : 0xFFFFFFFFu;
  std::size_t x = from;
  for (; x + 8 <= count; x += 8) {
    const __m256i colour =
        _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x)), colour_mask);
    const unsigned found = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi32(colour, keys))) ^ flip;
    if (found != 0) return x + static_cast<std::size_t>(__builtin_ctz(found)) / 4;
  }
  return find_sse2(row, x, count, key_wanted);
}

// A run copied with alpha cleared in whole vectors: the last one ends at the
// run's end and may overlap the one before, which writes the same pixels.
__attribute__((target("avx2"))) inline void copy_run_avx2(std::uint32_t* dst, const std::uint32_t* src,
                                                          std::size_t n) {
  const __m256i colour_mask = _mm256_set1_epi32(static_cast<int>(colour_bits));
  if (n >= 8) {
    for (std::size_t i = 0; i + 8 < n; i += 8) {
      const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_and_si256(pixels, colour_mask));
    }
    const __m256i last = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + n - 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + n - 8), _mm256_and_si256(last, colour_mask));
  } else if (n >= 4) {
    const __m128i mask = _mm256_castsi256_si128(colour_mask);
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + n - 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_and_si128(first, mask));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + n - 4), _mm_and_si128(last, mask));
  } else {
    for (std::size_t i = 0; i < n; ++i) dst[i] = src[i] & colour_bits;
  }
}

__attribute__((target("avx2"))) void runs_avx2(std::uint32_t* dst, const std::uint32_t* src, const PixelRun* runs,
                                               std::size_t count, std::int64_t clip_begin, std::int64_t clip_end) {
  std::size_t offset = 0, length = 0;
  for (std::size_t i = 0; i < count && runs[i].begin < clip_end; ++i) {
    if (clip_run(runs[i], clip_begin, clip_end, offset, length)) copy_run_avx2(dst + offset, src + offset, length);
  }
}

// AVX-512: sixteen pixels a step; the compare gives a mask register that the
// store takes directly, and the tail is one masked step too.
__attribute__((target("avx512f"))) void keyed_avx512(std::uint32_t* dst, const std::uint32_t* src,
                                                     std::size_t count) {
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
    _mm512_mask_storeu_epi32(dst + i, tail, _mm512_maskz_and_epi32(tail, _mm512_maskz_loadu_epi32(tail, src + i),
                                                                   colour_mask));
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

__attribute__((target("avx512f"))) inline void copy_run_avx512(std::uint32_t* dst, const std::uint32_t* src,
                                                               std::size_t n) {
  if (n < 16) {
    copy_run_avx2(dst, src, n);
    return;
  }
  const __m512i colour_mask = _mm512_set1_epi32(static_cast<int>(colour_bits));
  for (std::size_t i = 0; i + 16 < n; i += 16) {
    _mm512_storeu_si512(dst + i, _mm512_and_si512(_mm512_loadu_si512(src + i), colour_mask));
  }
  _mm512_storeu_si512(dst + n - 16, _mm512_and_si512(_mm512_loadu_si512(src + n - 16), colour_mask));
}

__attribute__((target("avx512f"))) void runs_avx512(std::uint32_t* dst, const std::uint32_t* src,
                                                    const PixelRun* runs, std::size_t count,
                                                    std::int64_t clip_begin, std::int64_t clip_end) {
  std::size_t offset = 0, length = 0;
  for (std::size_t i = 0; i < count && runs[i].begin < clip_end; ++i) {
    if (clip_run(runs[i], clip_begin, clip_end, offset, length)) copy_run_avx512(dst + offset, src + offset, length);
  }
}

#endif  // TANDREL_X86_KERNELS

struct KernelList {
  std::array<Kernels, 4> sets{};
  std::size_t count = 0;
};

KernelList find_kernels() {
  KernelList list;
  list.sets[list.count++] = {"scalar", keyed_scalar, clear_alpha_scalar, find_scalar, runs_scalar};
#ifdef TANDREL_X86_KERNELS
  list.sets[list.count++] = {"sse2", keyed_sse2, clear_alpha_sse2, find_sse2, runs_sse2};
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) list.sets[list.count++] = {"avx2", keyed_avx2, clear_alpha_avx2, find_avx2, runs_avx2};
  if (__builtin_cpu_supports("avx512f")) list.sets[list.count++] = {"avx512", keyed_avx512, clear_alpha_avx512, find_avx512, runs_avx512};
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
