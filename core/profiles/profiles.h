// Profiles: small text files "Profiles/NAME.prf" under the working folder that say which
// dialect of mma_ucp a phone model speaks and which item kinds its firmware knows.
//
//   [mma_ucp format]
//   22 06 0            record length (22|36), custom icon code (06|0C), C698p fix (0|1)
//   [mma items]
//   Browser            one kind name per line, compared whole
//   Calculator
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "messages.h"
#include "mma/menu_document.h"

namespace trellune {

inline constexpr std::string_view kDefaultProfileName = "Default";
inline constexpr std::string_view kCreateNewEntry = "Create new...";

std::filesystem::path ProfilesDir(const std::filesystem::path& appDir);
std::filesystem::path ProfilePath(const std::filesystem::path& appDir, const std::string& name);

// The names of the regular "*.prf" files of the profiles folder (hidden ones left out), without
// ".prf", sorted by name ignoring letter case so the selector is the same on every file
// system. No folder gives no names.
std::vector<std::string> ScanProfiles(const std::filesystem::path& appDir);

// The profile selector's entries: "Default", the names, "Create new...".
std::vector<std::string> SelectorEntries(const std::vector<std::string>& profileNames);

// The built-in "Default" profile: all 147 kinds, 36-byte records, icon code 0C (choice
// disabled), C698p fix off.
void ApplyDefaultProfile(MenuDocument& doc);

struct ProfileLoad {
  std::vector<UserMessage> messages;  // in the order the window shows them
  // The selector entry to show afterwards: 0 ("Default") after a problem, else the entry
  // whose text is the profile's name; nullopt when no entry has that name (the profile
  // appeared after the last scan), in which case the selector shows the name as text.
  std::optional<std::size_t> selectorIndex;
};

// Loads the profile text of the given name onto the document's save options and kind list.
// The settings are applied one after the other as the file is read, so a problem found late
// leaves the settings read before it in effect.
ProfileLoad ApplyProfileText(MenuDocument& doc, const std::string& name, const std::string& text,
                             const std::vector<std::string>& selectorEntries);

// Loads the profile file at `path` (its name is the file name without ".prf"). A missing file
// gives the "Profile not found" warning and the Default profile. FileError when an existing
// file cannot be read; the settings are then as they were.
ProfileLoad LoadProfileFile(MenuDocument& doc, const std::filesystem::path& path,
                            const std::vector<std::string>& selectorEntries);

// LoadProfile by name from AppDir/Profiles, as the selector and the phone link do.
ProfileLoad LoadProfile(MenuDocument& doc, const std::filesystem::path& appDir,
                        const std::string& name, const std::vector<std::string>& selectorEntries);

// The file of the profile `name` in a profiles folder, or nullopt when the name could lead
// out of the folder (it may come from a phone's seem).
std::optional<std::filesystem::path> ProfileFileIn(const std::filesystem::path& profilesDir,
                                                   const std::string& name);

// What selecting entry `index` of the selector does.
enum class SelectorAction { ApplyDefault, LoadProfile, CreateNew };
SelectorAction ActionForSelectorEntry(std::size_t index, std::size_t entryCount);

}  // namespace trellune
