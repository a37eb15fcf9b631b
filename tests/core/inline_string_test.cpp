#include "mma/inline_string.h"

#include <gtest/gtest.h>

#include <string>

namespace trellune {
namespace {

using Small = InlineString<char16_t, 8>;

std::u16string Units(std::size_t n, char16_t first = u'a') {
  std::u16string s;
  for (std::size_t i = 0; i < n; ++i) s.push_back(char16_t(first + i % 26));
  return s;
}

// Lengths around the inline capacity: what fits stays inside, what does not goes to the
// heap, and either way the text reads back whole.
TEST(InlineString, HoldsTextsOnBothSidesOfItsCapacity) {
  for (std::size_t n : {0u, 1u, 7u, 8u, 9u, 400u}) {
    const std::u16string text = Units(n);
    Small s(text);
    EXPECT_EQ(s, text) << n;
    EXPECT_EQ(s.size(), n);
    EXPECT_EQ(s.IsInline(), n <= 8) << n;
    EXPECT_EQ(s.str(), text);
  }
}

TEST(InlineString, CopiesAreDeepAndMovesEmptyTheSource) {
  for (std::size_t n : {5u, 20u}) {
    Small a(Units(n));
    Small b = a;
    b[0] = u'Z';
    EXPECT_EQ(a, Units(n)) << n;
    EXPECT_NE(a, b);

    Small c = std::move(a);
    EXPECT_EQ(c, Units(n));
    EXPECT_TRUE(a.empty());
    a = u"again";  // a moved-from string is usable
    EXPECT_EQ(a, u"again");

    Small d(Units(3, u'x'));
    d = std::move(c);
    EXPECT_EQ(d, Units(n));
    d = d;  // self-assignment keeps the text
    EXPECT_EQ(d, Units(n));
  }
  // A heap text short enough to fit is copied inside.
  Small big(Units(20));
  big.resize(4);
  Small copy = big;
  EXPECT_TRUE(copy.IsInline());
  EXPECT_EQ(copy, Units(4));
}

// A string's own text as the source: the old buffer must outlive the copy when the result
// no longer fits it.
TEST(InlineString, AppendsAndAssignsFromItsOwnText) {
  for (std::size_t n : {3u, 6u, 12u}) {
    Small s(Units(n));
    s.append(s);
    EXPECT_EQ(s, Units(n) + Units(n)) << n;
    s = s.substr(1, 2 * n - 2);
    EXPECT_EQ(s, (Units(n) + Units(n)).substr(1, 2 * n - 2)) << n;
  }
}

TEST(InlineString, GrowsByPushAndResizeKeepingWhatItHeld) {
  Small s;
  std::u16string expected;
  for (std::size_t i = 0; i < 30; ++i) {
    s.push_back(char16_t(u'A' + i));
    expected.push_back(char16_t(u'A' + i));
  }
  EXPECT_EQ(s, expected);
  s.resize(33, u'!');
  EXPECT_EQ(s, expected + u"!!!");
  s += u"?";
  EXPECT_EQ(s.size(), 34u);
  EXPECT_EQ(s.back(), u'?');
  s.clear();
  EXPECT_TRUE(s.empty());
  EXPECT_LT(Small(u"abc"), Small(u"abd"));
}

}  // namespace
}  // namespace trellune
