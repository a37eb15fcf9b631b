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

// Serialises the menu. Record order, index fields and data offsets come from the tree. Sets
// SaveFailed when the save is refused (a kind the profile does not know, or a menu larger
// than the file's 8-bit and 16-bit fields hold), and, like the original save, brings each
// written item's DataLength and folder type up to date.
WriteOutcome SerializeMenu(MenuDocument& doc);

// Serialises and writes the file; the target is replaced only when the save succeeded.
// Returns the refusal message, if any. FileError when the file cannot be written.
std::optional<UserMessage> WriteMenuFile(const std::filesystem::path& path, MenuDocument& doc);

UserMessage ProfileMismatchOnSave();

}  // namespace trellune
