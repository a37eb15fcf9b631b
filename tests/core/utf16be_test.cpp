#include "mma/utf16be.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace trellune {
namespace {

// Every length up to a few steps, so that whole steps, the overlapping last step and the
// short case all meet a zero (or none) at every place.
TEST(Utf16Be, LengthStopsAtTheFirstZeroUnitAndReadsNoFurther) {
  for (std::size_t max = 0; max <= 26; ++max) {
    for (std::size_t zeroAt = 0; zeroAt <= max; ++zeroAt) {
      // Exactly 2 * max bytes on the heap, so that a read past them shows in the sanitizer
      // build. Units have one zero byte of two, which is not a zero unit.
      std::vector<std::uint8_t> bytes(2 * max);
      for (std::size_t i = 0; i < max; ++i) bytes[2 * i + (i % 2)] = std::uint8_t(0x41 + i);
      if (zeroAt < max) bytes[2 * zeroAt] = bytes[2 * zeroAt + 1] = 0;
      if (zeroAt + 3 < max) bytes[2 * (zeroAt + 3)] = bytes[2 * (zeroAt + 3) + 1] = 0;
      EXPECT_EQ(utf16be::LengthUntil0(bytes.data(), max), zeroAt) << max << " " << zeroAt;
    }
  }
}

TEST(Utf16Be, DecodeAndEncodeSwapEveryUnit) {
  for (std::size_t n = 0; n <= 26; ++n) {
    std::u16string text;
    for (std::size_t i = 0; i < n; ++i)
      text.push_back(char16_t(0x0102 * (i + 1) + 0xE000 * (i % 2)));
    std::vector<std::uint8_t> bytes(2 * n);
    utf16be::Encode(text.data(), n, bytes.data());
    for (std::size_t i = 0; i < n; ++i) {
      ASSERT_EQ(bytes[2 * i], std::uint8_t(text[i] >> 8)) << n << " " << i;
      ASSERT_EQ(bytes[2 * i + 1], std::uint8_t(text[i])) << n << " " << i;
    }
    std::u16string back(n, u'\0');
    utf16be::Decode(bytes.data(), n, back.data());
    EXPECT_EQ(back, text) << n;
  }
}

}  // namespace
}  // namespace trellune
