// The languages of titles and texts: a one-byte LanguageId, 1 to 47, shown as two upper-case
// hexadecimal digits ("0A" for 10), with a name for the entry dialogs' lists.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace trellune {

struct LanguageRow {
  std::uint8_t id;
  std::string_view idText;  // "01" .. "2F"
  std::string_view name;    // "English US" ...
};

constexpr std::size_t kLanguageCount = 47;

const std::array<LanguageRow, kLanguageCount>& LanguageTable();

// The two hexadecimal digits of any id byte: the table's text for 1..47, and the same form
// for an id outside it, which is kept as it is.
std::string LanguageIdText(std::uint8_t id);

// The row position of an id text, compared exactly; kLanguageCount when no row has it.
std::size_t LanguagePosition(std::string_view idText);

}  // namespace trellune
