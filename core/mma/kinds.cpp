#include "mma/kinds.h"

#include <bit>
#include <cstring>

namespace trellune {
namespace {

// Plain names in their fixed row order. Some odd spellings ("AlarmClcok", "Mutilmedia",
// "Text Msg") are what phones write and must stay as they are.
constexpr std::array<std::string_view, kBuiltinKindCount> kPlainNames = {
    "2CLICK",       "AIM",          "Activation",  "ActiveCall",  "AirplnMode",    "AirplaneMod",
    "AlarmClcok",   "AlarmClock",   "Animations",  "AnsMachine",  "Avatar",        "BRWSetup",
    "BarCodeRead",  "BarredDial",   "Bluetooth",   "Bookmarks",   "Browser",       "CDAG",
    "CMCC",         "Calculator",   "CallForward", "Camera",      "CarSetting",    "Chat",
    "Cmcccallfwd",  "Cmccphbk",     "CmccphbkUpd", "Cmccsetting", "Connection",    "Datebook",
    "DialService",  "DownDict",     "E-Dict",      "Exchange",    "FEM",           "FixedDial",
    "Games",        "GoToPage",     "GoToURL",     "Headset",     "I-Appli",       "I-Browser",
    "I-Channel",    "I-Motions",    "IM",          "INCMCall",    "IRDALink",      "ITUNES",
    "InCallSetup",  "InfuGames",    "IntlSetup",   "JAVATools",   "Lights",        "MMRingStyle",
    "MMSCard",      "Mailer",       "MainMenu",    "MediaFinder", "Melody",        "MenuRoot",
    "Message",      "MobileQQ",     "MobileTV",    "MotoMixer",   "MotoSync",      "Mutilmedia",
    "MyTones",      "Network",      "NewWldDic",   "Notes",       "NwServices",    "OneClickLS",
    "OneClickRS",   "OneClickSD",   "OneClickSL",  "OneClickSM",  "OneClickSR",    "OneClickSU",
    "OptionsMenu",  "OthrSetting",  "Personalize", "PhoneBook",   "PhoneStatus",   "Pictures",
    "Ptt",          "PttOnOff",     "PttKodiak1",  "PttKodiak2",  "PttSetting",    "Push2fwd",
    "QuickDial",    "Radio",        "RecentCall",  "RingVibrate", "SIMApp",        "RingStyle",
    "STRingStyle",  "Security",     "ServiceDial", "ServiceTab",  "Settings",      "Shortcuts",
    "SndProfiles",  "SoftUpdate",   "Sounds",      "StoredPages", "Sync",          "SystemScan",
    "Text Msg",     "Theme",        "Tools",       "UsbSetting",  "VFCasting",     "Video",
    "VideoCamera",  "VoiceDial",    "VoiceMsg",    "VoiceRecord", "WebAccess",     "WebHistory",
    "WebSessions",  "WebSetup",     "WebShortcut", "WorldClock",  "WorldTime",     "DialedCalls",
    "Headlines",    "HomeKeys",     "HomeScreen",  "LockKeyPad",  "MF-Animation",  "MF-Graphics",
    "MF-Music",     "MF-Picture",   "MF-Ringtone", "MF-Scrsaver", "MF-Sounds",     "MF-Videos",
    "MF-VoiceNote", "MF-Wallpaper", "PBK-NewEnt",  "PERS-MMenu",  "ReceivedCalls", "ScrSaver",
    "SetAlarm",     "WallPaper",    "Custom item",
};

constexpr int kFirstShortcutRow = 125;  // "DialedCalls"
constexpr int kLastShortcutRow = 145;   // "WallPaper"

struct Table {
  std::array<std::string, kBuiltinKindCount> display;
  std::array<BuiltinKind, kBuiltinKindCount> rows;
  Table() {
    for (int i = 0; i < kBuiltinKindCount; ++i) {
      std::string d(kPlainNames[i]);
      if (i == 5) d = "AirplnMode [A630]";
      if (i == 6) d = "AlarmClock [old]";
      if (i == 65) d = "Multimedia";
      if (i >= kFirstShortcutRow && i <= kLastShortcutRow) d += " [SC]";
      display[i] = std::move(d);
    }
    for (int i = 0; i < kBuiltinKindCount; ++i) rows[i] = {kPlainNames[i], display[i]};
  }
};

const Table& table() {
  static const Table t;
  return t;
}

constexpr std::array<std::string_view, 7> kSoftkeyPrefixes = {
    "LSK: ", "RSK: ", "Up: ", "Down: ", "Left: ", "Right: ", "Smart: "};

}  // namespace

bool IsCustomName(std::string_view name) {
  return !name.empty() && name.front() == '~';
}

const BuiltinKind& BuiltinKindRow(int row) {
  return table().rows.at(row);
}

std::uint8_t FindBuiltinKindIndex(std::string_view name) {
  for (int i = 0; i < kBuiltinKindCount; ++i)
    if (kPlainNames[i] == name) return static_cast<std::uint8_t>(i);
  return kKindNotFound;
}

std::string_view SoftkeyPrefix(int softkey) {
  return kSoftkeyPrefixes.at(softkey);
}

bool IsShortcutKind(std::string_view displayName) {
  return displayName.size() >= 4 && displayName.substr(displayName.size() - 4) == "[SC]";
}

KindList::KindList() {
  KindFlags.fill(1);
  UseBuiltinKindList();
}

void KindList::UseBuiltinKindList() {
  for (int i = 0; i < kBuiltinKindCount; ++i) {
    KindNames[i] = table().rows[i].plain;
    KindDisplayNames[i] = table().rows[i].display;
  }
  KnownKindCount = kBuiltinKindCount;
}

std::vector<std::string> KindList::BuildActiveKindList(const std::vector<std::string>& names) {
  std::vector<std::string> unsupported;
  KnownKindCount = 0;
  std::array<bool, kBuiltinKindCount> listed{};
  for (const std::string& name : names) {
    std::uint8_t k = FindBuiltinKindIndex(name);
    if (k >= kBuiltinKindCount) {
      unsupported.push_back(name);
      continue;
    }
    // A kind listed twice, or "Custom item" (always added last), would only repeat an entry.
    if (listed[k] || name == kCustomItemName) continue;
    listed[k] = true;
    KindNames[KnownKindCount] = table().rows[k].plain;  // the row's own text, not the line's
    KindDisplayNames[KnownKindCount] = table().rows[k].display;
    ++KnownKindCount;
  }
  KindNames[KnownKindCount] = kCustomItemName;
  KindDisplayNames[KnownKindCount] = kCustomItemName;
  ++KnownKindCount;
  return unsupported;
}

namespace {
// The length and the first character rule out most names before a comparison.
bool SameName(std::string_view kind, std::string_view name) {
  return kind.size() == name.size() && !name.empty() && kind[0] == name[0] && kind == name;
}
}  // namespace

std::uint8_t KindList::FindKindIndex(std::string_view name) const {
  if (name.empty()) {
    for (int i = 0; i < kBuiltinKindCount; ++i)
      if (KindNames[i].empty()) return static_cast<std::uint8_t>(i);
    return kKindNotFound;
  }
  for (int i = 0; i < kBuiltinKindCount; ++i)
    if (SameName(KindNames[i], name)) return static_cast<std::uint8_t>(i);
  return kKindNotFound;
}

bool KindList::IsKnownName(std::string_view name, std::uint16_t count) const {
  if (IsCustomName(name)) return count > 0;
  for (int i = 0; i < count && i < kBuiltinKindCount; ++i)
    if (SameName(KindNames[i], name)) return true;
  return false;
}

// Kind names are short ASCII identifiers (at most 25 characters). A name's length and its
// first and last eight bytes (overlapping when it is shorter than 16; for shorter names, its
// first and last four, or its first, middle and last byte) spell out any name of up to 16
// characters, and read as a few loads rather than a loop.
struct KindIndex::Key {
  explicit Key(std::string_view name) : size(name.size()) {
    const char* p = name.data();
    if (size >= 8) {
      std::memcpy(&head, p, 8);
      std::memcpy(&tail, p + size - 8, 8);
    } else if (size >= 4) {
      std::uint32_t first, last;
      std::memcpy(&first, p, 4);
      std::memcpy(&last, p + size - 4, 4);
      head = first | std::uint64_t(last) << 32;
    } else if (size > 0) {
      head = std::uint8_t(p[0]) | std::uint8_t(p[size / 2]) << 8 | std::uint8_t(p[size - 1]) << 16;
    }
  }
  // A bucket of the 512: the top bits of a multiplicative hash.
  std::size_t Bucket() const {
    std::uint64_t h = head * 0x9E3779B97F4A7C15u ^ tail * 0xC2B2AE3D27D4EB4Fu ^ size;
    h ^= h >> 29;
    return std::size_t(h * 0xBF58476D1CE4E5B9u >> 55);
  }
  // Whether `other` is the name this key was made of, `name`.
  bool Names(std::string_view name, std::string_view other) const {
    if (other.size() != size) return false;
    const Key key(other);
    if (key.head != head || key.tail != tail) return false;
    return size <= 16 || std::memcmp(name.data() + 8, other.data() + 8, size - 16) == 0;
  }

  std::size_t size;
  std::uint64_t head = 0;
  std::uint64_t tail = 0;
};

KindIndex::KindIndex(const KindList& kinds) : kinds_(kinds) {
  slots_.fill(0);
  // The first of equal names wins, as in the list's linear search.
  for (int i = 0; i < kBuiltinKindCount; ++i) {
    const std::string_view name = kinds.KindNames[i];
    const Key key(name);
    for (std::size_t h = key.Bucket();; h = (h + 1) % slots_.size()) {
      if (slots_[h] == 0) {
        slots_[h] = std::uint8_t(i + 1);
        break;
      }
      if (key.Names(name, kinds.KindNames[slots_[h] - 1])) break;
    }
  }
}

std::uint8_t KindIndex::FindKindIndex(std::string_view name) const {
  const Key key(name);
  for (std::size_t h = key.Bucket(); slots_[h] != 0; h = (h + 1) % slots_.size())
    if (key.Names(name, kinds_.KindNames[slots_[h] - 1])) return std::uint8_t(slots_[h] - 1);
  return kKindNotFound;
}

bool KindIndex::IsKnownName(std::string_view name) const {
  if (IsCustomName(name)) return kinds_.KnownKindCount > 0;
  return !name.empty() && FindKindIndex(name) < kinds_.KnownKindCount;
}

std::string KindList::KindDisplayText(std::uint8_t kindIndex, std::size_t position) const {
  std::string text(kindIndex < kBuiltinKindCount ? KindDisplayNames[kindIndex]
                                                 : std::string_view());
  if (position >= 1 && position <= 7) return std::string(SoftkeyPrefix(int(position) - 1)) + text;
  return text;
}

std::vector<std::string> KindList::AvailableItems() const {
  return {KindDisplayNames.begin(), KindDisplayNames.begin() + KnownKindCount};
}

std::string NodeTextFor(const KindList& kinds, std::string_view name, std::size_t position) {
  if (IsCustomName(name)) {
    if (position >= 1 && position <= 7)
      return std::string(SoftkeyPrefix(int(position) - 1)) + std::string(name);
    return std::string(name);
  }
  return kinds.KindDisplayText(kinds.FindKindIndex(name), position);
}

}  // namespace trellune
