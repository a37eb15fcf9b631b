#include "profiles/profiles.h"

#include <algorithm>
#include <cctype>

#include "io/file_io.h"

namespace trellune {
namespace {

constexpr std::string_view kFormatHeader = "[mma_ucp format]";
constexpr std::string_view kItemsHeader = "[mma items]";

UserMessage ProfileError(std::string text) {
  return {std::move(text), "Profile error", MessageIcon::Warning};
}

// Lines end with CR LF, a bare LF or a bare CR.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line.push_back(c);
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

// Tokens of the format line: the first runs from the line's start to the first space; after
// each token a run of spaces is skipped. Only the space separates.
std::vector<std::string> FormatTokens(const std::string& line) {
  std::vector<std::string> tokens;
  std::size_t i = 0;
  while (tokens.size() < 3) {
    std::size_t end = line.find(' ', i);
    if (end == std::string::npos) end = line.size();
    tokens.push_back(line.substr(i, end - i));
    i = end;
    while (i < line.size() && line[i] == ' ') ++i;
  }
  return tokens;
}

// A decimal number, or 0 when the token is not one.
int NumberOrZero(const std::string& token) {
  if (token.empty() || token.size() > 9) return 0;
  std::size_t i = token[0] == '+' || token[0] == '-' ? 1 : 0;
  if (i == token.size()) return 0;
  for (std::size_t k = i; k < token.size(); ++k)
    if (!std::isdigit(static_cast<unsigned char>(token[k]))) return 0;
  return std::stoi(token);
}

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::optional<std::size_t> EntryOf(const std::vector<std::string>& entries,
                                   const std::string& name) {
  for (std::size_t i = 1; i + 1 < entries.size(); ++i)
    if (entries[i] == name) return i;
  return std::nullopt;
}

ProfileLoad MissingProfile(MenuDocument& doc) {
  ApplyDefaultProfile(doc);
  return {{{"Profile not found. Default profile will be applied", "Missing profile",
            MessageIcon::Warning}},
          0};
}

}  // namespace

std::filesystem::path ProfilesDir(const std::filesystem::path& appDir) {
  return appDir / "Profiles";
}

std::filesystem::path ProfilePath(const std::filesystem::path& appDir, const std::string& name) {
  return ProfilesDir(appDir) / (name + ".prf");
}

std::vector<std::string> ScanProfiles(const std::filesystem::path& appDir) {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(ProfilesDir(appDir), ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string file = it->path().filename().string();
    if (file.size() <= 4 || file[0] == '.' || file.substr(file.size() - 4) != ".prf") continue;
    std::error_code statError;
    if (!it->is_regular_file(statError)) continue;
    names.push_back(file.substr(0, file.size() - 4));
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string la = Lower(a), lb = Lower(b);
    return la != lb ? la < lb : a < b;
  });
  return names;
}

std::vector<std::string> SelectorEntries(const std::vector<std::string>& profileNames) {
  std::vector<std::string> entries{std::string(kDefaultProfileName)};
  entries.insert(entries.end(), profileNames.begin(), profileNames.end());
  entries.emplace_back(kCreateNewEntry);
  return entries;
}

void ApplyDefaultProfile(MenuDocument& doc) {
  doc.Kinds.UseBuiltinKindList();
  doc.Options.SelectRecordLength(36);
  doc.Options.iconMarker = IconMarker::k0C;
  doc.Options.iconMarkerEnabled = false;
  doc.Options.c698pFix = false;
}

ProfileLoad ApplyProfileText(MenuDocument& doc, const std::string& name, const std::string& text,
                             const std::vector<std::string>& selectorEntries) {
  FormatOptions& o = doc.Options;
  const std::vector<std::string> lines = SplitLines(text);
  auto line = [&lines](std::size_t i) { return i < lines.size() ? lines[i] : std::string(); };
  std::optional<UserMessage> problem;

  [&] {
    if (line(0) != kFormatHeader) {
      problem = ProfileError("Invalid profile formatting");
      return;
    }
    const std::vector<std::string> tokens = FormatTokens(line(1));
    const int length = NumberOrZero(tokens[0]);
    if (length != 22 && length != 36) {
      problem = ProfileError("Invalid mma record length (36 byte assumed)");
      o.SelectRecordLength(36);
      o.iconMarker = IconMarker::k0C;
      o.iconMarkerEnabled = false;
      return;
    }
    o.SelectRecordLength(length);
    if (length == 36) {
      o.iconMarker = IconMarker::k0C;
      o.iconMarkerEnabled = false;
    } else {
      o.iconMarkerEnabled = true;
    }
    if (tokens[1] != "06" && tokens[1] != "0C") {
      problem = ProfileError("Invalid user icon marker (0C assumed)");
      o.iconMarker = IconMarker::k0C;
      return;
    }
    if (length == 22) o.iconMarker = tokens[1] == "06" ? IconMarker::k06 : IconMarker::k0C;
    if (tokens[2] != "0" && tokens[2] != "1") {
      problem = ProfileError("C698p fix can be either 1 (ON) or 0 (OFF - assumed)");
      o.c698pFix = false;
      return;
    }
    o.c698pFix = tokens[2] == "1";  // also in 36-byte mode, where the box stays disabled
    if (line(2) != kItemsHeader) {
      problem = ProfileError("Invalid profile formatting");  // the kind list stays as it was
      return;
    }
    std::vector<std::string> names(lines.begin() + std::min<std::size_t>(3, lines.size()),
                                   lines.end());
    // The warning names the file's last unsupported line.
    std::vector<std::string> unsupported = doc.Kinds.BuildActiveKindList(names);
    if (!unsupported.empty())
      problem = ProfileError("Unsupported mma item(s) found and omitted: " +
                             ShortenForMessage(unsupported.back()));
  }();

  ProfileLoad result;
  result.selectorIndex = EntryOf(selectorEntries, name);
  if (problem) {
    result.messages.push_back(*problem);
    result.selectorIndex = 0;
  }
  return result;
}

ProfileLoad LoadProfileFile(MenuDocument& doc, const std::filesystem::path& path,
                            const std::vector<std::string>& selectorEntries) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return MissingProfile(doc);
  // A profile is a few kilobytes; the cap keeps a device or a wrong file from being read
  // without end.
  constexpr std::size_t kProfileReadLimit = 16u << 20;
  const std::vector<std::uint8_t> bytes = ReadFilePrefix(path, kProfileReadLimit);
  std::string name = path.filename().string();
  if (name.size() > 4 && name.substr(name.size() - 4) == ".prf") name.resize(name.size() - 4);
  return ApplyProfileText(doc, name, std::string(bytes.begin(), bytes.end()), selectorEntries);
}

std::optional<std::filesystem::path> ProfileFileIn(const std::filesystem::path& profilesDir,
                                                   const std::string& name) {
  const bool plain = !name.empty() && name != "." && name != ".." &&
                     name.find_first_of("/\\") == std::string::npos &&
                     name.find('\0') == std::string::npos;
  if (!plain) return std::nullopt;
  return profilesDir / (name + ".prf");
}

ProfileLoad LoadProfile(MenuDocument& doc, const std::filesystem::path& appDir,
                        const std::string& name, const std::vector<std::string>& selectorEntries) {
  // A name comes from the selector or from a phone's firmware; one that would lead out of the
  // profiles folder names no profile.
  const auto path = ProfileFileIn(ProfilesDir(appDir), name);
  if (!path) return MissingProfile(doc);
  return LoadProfileFile(doc, *path, selectorEntries);
}

SelectorAction ActionForSelectorEntry(std::size_t index, std::size_t entryCount) {
  if (index == 0) return SelectorAction::ApplyDefault;
  if (index + 1 == entryCount) return SelectorAction::CreateNew;
  return SelectorAction::LoadProfile;
}

}  // namespace trellune
