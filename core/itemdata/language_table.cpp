#include "itemdata/language_table.h"

namespace trellune {
namespace {

constexpr std::array<std::string_view, kLanguageCount> kNames = {"English US",
                                                                 "Arabic",
                                                                 "English UK",
                                                                 "Chinese Complex",
                                                                 "Chinese Simple",
                                                                 "French",
                                                                 "German",
                                                                 "Hebrew",
                                                                 "Italian",
                                                                 "Spanish",
                                                                 "Thai",
                                                                 "Vietnamese",
                                                                 "Canadian French",
                                                                 "American Spanish",
                                                                 "Bahasa",
                                                                 "Bulgarian",
                                                                 "Croatian",
                                                                 "Czech",
                                                                 "Danish",
                                                                 "Dutch",
                                                                 "Estonian",
                                                                 "Finnish",
                                                                 "Greek",
                                                                 "Hungarian",
                                                                 "Japanese",
                                                                 "Korean",
                                                                 "Latvian",
                                                                 "Lithuanian",
                                                                 "Malay",
                                                                 "Norwegian",
                                                                 "Polish",
                                                                 "Portuguese",
                                                                 "American Portuguese",
                                                                 "Romanian",
                                                                 "Russian",
                                                                 "Serbian",
                                                                 "Slovak",
                                                                 "Slovenian",
                                                                 "Tagalog",
                                                                 "Turkish",
                                                                 "Ukrainian",
                                                                 "Brazilian Portuguese",
                                                                 "Swedish",
                                                                 "Farsi",
                                                                 "Urdu",
                                                                 "Hindi",
                                                                 "Bahasa Malay"};

constexpr std::array<std::string_view, kLanguageCount> kIdTexts = {
    "01", "02", "03", "04", "05", "06", "07", "08", "09", "0A", "0B", "0C", "0D", "0E", "0F", "10",
    "11", "12", "13", "14", "15", "16", "17", "18", "19", "1A", "1B", "1C", "1D", "1E", "1F", "20",
    "21", "22", "23", "24", "25", "26", "27", "28", "29", "2A", "2B", "2C", "2D", "2E", "2F"};

}  // namespace

const std::array<LanguageRow, kLanguageCount>& LanguageTable() {
  static const std::array<LanguageRow, kLanguageCount> table = [] {
    std::array<LanguageRow, kLanguageCount> rows{};
    for (std::size_t p = 0; p < kLanguageCount; ++p)
      rows[p] = {std::uint8_t(p + 1), kIdTexts[p], kNames[p]};
    return rows;
  }();
  return table;
}

std::string LanguageIdText(std::uint8_t id) {
  static const char* digits = "0123456789ABCDEF";
  return {digits[id >> 4], digits[id & 15]};
}

std::size_t LanguagePosition(std::string_view idText) {
  for (std::size_t p = 0; p < kLanguageCount; ++p)
    if (kIdTexts[p] == idText) return p;
  return kLanguageCount;
}

}  // namespace trellune
