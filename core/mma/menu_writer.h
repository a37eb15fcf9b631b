// Writing a menu document as an mma_ucp file in the dialect the save options select.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "messages.h"
#include "mma/menu_document.h"

namespace trellune {

struct WriteOutcome {
  std::vector<std::uint8_t> bytes;     // the file, when nothing was refused
  std::optional<UserMessage> refusal;  // why nothing can be written
  bool ok() const { return !refusal; }
};

// The type byte written for a softkey or a main item: a folder left without subitems is an
// item again, and types 2 and 10 and up are kept only with "Save all data".
std::uint8_t WrittenItemType(const MenuNode& node, bool saveAllData);

// Serialises the menu. Record order, index fields, data offsets and lengths come from the
// tree and the data; the document itself is never changed. Refused when a kind is unknown
// to the profile, or when the menu is larger than the file's 8-bit and 16-bit fields hold.
WriteOutcome SerializeMenu(const MenuDocument& doc);

// Serialises and writes the file; the target is replaced only when the save succeeded.
// SaveFailed tells afterwards whether it failed (nothing may then go to a phone). Returns the
// refusal message, if any. FileError when the file cannot be written.
std::optional<UserMessage> WriteMenuFile(const std::filesystem::path& path, MenuDocument& doc);

UserMessage ProfileMismatchOnSave();

}  // namespace trellune
