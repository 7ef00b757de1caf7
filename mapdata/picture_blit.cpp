// Row kernels of picture drawing. The scalar set is the rule itself and runs
// anywhere; on x86-64 SSE2 is always there, and AVX2 and AVX-512 are used
// when the processor reports them at run time.
#include "mapdata/picture_blit.h"

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
  std::size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    _mm512_storeu_si512(dst + i, _mm512_and_si512(_mm512_loadu_si512(src + i), colour_mask));
  }
  if (i < count) {
    const auto tail = static_cast<__mmask16>((1u << (count - i)) - 1u);
    _mm512_mask_storeu_epi32(dst + i, tail, _mm512_maskz_and_epi32(tail, _mm512_maskz_loadu_epi32(tail, src + i),
                                                                   colour_mask));
  }
}

#endif  // TANDREL_X86_KERNELS

struct KernelList {
  std::array<Kernels, 4> sets{};
  std::size_t count = 0;
};

KernelList find_kernels() {
  KernelList list;
  list.sets[list.count++] = {"scalar", keyed_scalar, clear_alpha_scalar};
#ifdef TANDREL_X86_KERNELS
  list.sets[list.count++] = {"sse2", keyed_sse2, clear_alpha_sse2};
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) list.sets[list.count++] = {"avx2", keyed_avx2, clear_alpha_avx2};
  if (__builtin_cpu_supports("avx512f")) list.sets[list.count++] = {"avx512", keyed_avx512, clear_alpha_avx512};
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
