// UTF-16 big-endian, as a menu file stores titles and icon paths, to and from char16_t
// texts. A menu holds about a thousand such texts, so these run eight units a step with
// SSE2 (always there on x86-64) and one unit a step elsewhere.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trellune::utf16be {

// The units before the first 0x0000 unit among the `max` units at p; max when there is none.
// Reads no byte past the 2 * max bytes at p.
inline std::size_t LengthUntil0(const std::uint8_t* p, std::size_t max) {
  std::size_t i = 0;
#if defined(__SSE2__)
  if (max >= 8) {
    const __m128i zero = _mm_setzero_si128();
    auto firstZero = [&](std::size_t at) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * at));
      return unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(v, zero)));
    };
    for (; i + 8 <= max; i += 8)
      if (unsigned mask = firstZero(i)) return i + std::size_t(std::countr_zero(mask)) / 2;
    // The last units again as a whole step: none before i is zero, so what it finds is new.
    if (i < max) {
      const unsigned mask = firstZero(max - 8);
      return mask ? max - 8 + std::size_t(std::countr_zero(mask)) / 2 : max;
    }
    return max;
  }
#endif
  for (; i < max; ++i)
    if ((p[2 * i] | p[2 * i + 1]) == 0) return i;
  return max;
}

// Copies `units` 16-bit units from `from` to `to`, swapping the two bytes of each: big-endian
// to little-endian and back are the same swap.
inline void SwapBytePairs(const std::uint8_t* from, std::uint8_t* to, std::size_t units) {
  std::size_t i = 0;
#if defined(__SSE2__)
  auto step = [&](std::size_t at) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 2 * at));
    v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 2 * at), v);
  };
  if (units >= 8) {
    for (; i + 8 <= units; i += 8) step(i);
    if (i < units) step(units - 8);  // the tail as an overlapping whole step
    return;
  }
#endif
  for (; i < units; ++i) {
    to[2 * i] = from[2 * i + 1];
    to[2 * i + 1] = from[2 * i];
  }
}

// `units` units from big-endian bytes at p into out.
inline void Decode(const std::uint8_t* p, std::size_t units, char16_t* out) {
  if constexpr (std::endian::native == std::endian::big)
    std::memcpy(out, p, 2 * units);
  else
    SwapBytePairs(p, reinterpret_cast<std::uint8_t*>(out), units);
}

// `units` units of s as big-endian bytes at out.
inline void Encode(const char16_t* s, std::size_t units, std::uint8_t* out) {
  if constexpr (std::endian::native == std::endian::big)
    std::memcpy(out, s, 2 * units);
  else
    SwapBytePairs(reinterpret_cast<const std::uint8_t*>(s), out, units);
}

}  // namespace trellune::utf16be
