// Item kind names: the built-in table of the 147 kinds every firmware may know, and the
// active kind list that a profile selects from it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trellune {

constexpr int kBuiltinKindCount = 147;
constexpr std::uint8_t kKindNotFound = 147;
inline constexpr std::string_view kCustomItemName = "Custom item";

struct BuiltinKind {
  std::string_view plain;    // the identifier written to the file
  std::string_view display;  // what the tree and the kind list show
};

// Row i of the built-in table. Row 146 is "Custom item", which is not a phone kind.
const BuiltinKind& BuiltinKindRow(int row);

// The row whose plain name equals `name` exactly (case-sensitive); kKindNotFound when none.
std::uint8_t FindBuiltinKindIndex(std::string_view name);

// Softkey prefixes of tree positions 1..7 ("LSK: " ... "Smart: "); index 0..6.
std::string_view SoftkeyPrefix(int softkey);

// A custom item's name: "~" and a number. Accepted with any profile.
bool IsCustomName(std::string_view name);

// True when the display name ends in "[SC]": an item of that kind carries a shortcut entry.
bool IsShortcutKind(std::string_view displayName);

// The active kind list. Only the first KnownKindCount entries are meaningful; the last of
// them is always "Custom item" after a profile or the built-in list was applied.
struct KindList {
  std::uint16_t KnownKindCount = 0;
  // Views of the built-in table's names, which live as long as the program: every kind a
  // list can hold is one of its rows, so a list is cheap to make, copy and drop.
  std::array<std::string_view, kBuiltinKindCount> KindNames;
  std::array<std::string_view, kBuiltinKindCount> KindDisplayNames;
  // One byte per kind index, all 1; an item takes KindFlags[k] as its AllowSubitems.
  std::array<std::uint8_t, kBuiltinKindCount + 1> KindFlags;

  KindList();  // starts as the built-in list, as the program does at start-up

  // Copies all 147 built-in rows in order; KnownKindCount becomes 147.
  void UseBuiltinKindList();

  // Builds the list from a profile's item lines, in order, ending with "Custom item". A kind
  // listed again, and a listed "Custom item", appear once, so the list never exceeds the 147
  // built-in rows. Returns every line that is not a built-in kind name, in file order.
  std::vector<std::string> BuildActiveKindList(const std::vector<std::string>& names);

  // Index of the first of all 147 KindNames slots equal to name; kKindNotFound when none.
  // Callers treat any result >= KnownKindCount as unknown.
  std::uint8_t FindKindIndex(std::string_view name) const;

  // A custom name ("~..."), or one of the first `count` kind names.
  bool IsKnownName(std::string_view name, std::uint16_t count) const;
  bool IsKnownName(std::string_view name) const { return IsKnownName(name, KnownKindCount); }

  // The text a node of this kind shows at a tree position: softkeys (1..7) get their prefix.
  std::string KindDisplayText(std::uint8_t kindIndex, std::size_t position) const;

  // The display names the "Available mma items" list shows, in order.
  std::vector<std::string> AvailableItems() const;

  std::uint8_t FlagOf(std::uint8_t kindIndex) const { return KindFlags[kindIndex]; }
};

// A hash index over a KindList's names for reading and writing whole menus, which look up
// every item's kind. Answers as the list's own lookups do; valid while the list is unchanged.
class KindIndex {
 public:
  explicit KindIndex(const KindList& kinds);
  std::uint8_t FindKindIndex(std::string_view name) const;  // as KindList::FindKindIndex
  bool IsKnownName(std::string_view name) const;            // as KindList::IsKnownName

 private:
  struct Key;
  const KindList& kinds_;
  std::array<std::uint8_t, 512> slots_;  // kind index + 1 per bucket, 0 for empty
};

// The text a node shows for an item name at a tree position: the custom name itself or the
// kind's display name, with the softkey prefix at positions 1..7.
std::string NodeTextFor(const KindList& kinds, std::string_view name, std::size_t position);

}  // namespace trellune
