#include "profile_commands.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "args.h"
#include "io/file_io.h"
#include "j2mest/java_slots.h"
#include "mma/menu_editor.h"
#include "output.h"
#include "profiles/firmware_scan.h"
#include "profiles/profiles.h"

namespace trellune::cli {
namespace {

namespace fs = std::filesystem;

// A profile named on the command line is a file the user typed: a missing one is a mistake,
// not the "Profile not found" of the window's selector. Its warnings name it.
std::optional<int> LoadNamedProfile(const std::string& path, MenuEditor& editor,
                                    std::ostream& warnings) {
  std::error_code ec;
  if (!fs::exists(path, ec)) return Fail("Cannot open " + path + ": " + std::strerror(ENOENT));
  try {
    for (const UserMessage& m : editor.LoadProfileFile(path, {}).messages)
      PrintWarning(warnings, path + ": " + m.text);
  } catch (const FileError& e) {
    return Fail(e.what());
  }
  return std::nullopt;
}

int RunCheckProfile(const ProfileCommandArgs& args) {
  MenuEditor editor;
  if (auto code = LoadNamedProfile(args.profile, editor, std::cout)) return *code;
  const MenuDocument& doc = editor.Document();
  const FormatOptions& o = doc.Options;
  std::cout << "record-length: " << o.recordLength << '\n'
            << "icon-code: " << IconMarkerText(o.iconMarker) << '\n'
            << "c698p-fix: " << (o.c698pFix ? 1 : 0) << '\n'
            << "kinds: " << doc.Kinds.KnownKindCount << '\n';
  for (const std::string& name : doc.Kinds.AvailableItems()) std::cout << name << '\n';
  return kSuccess;
}

int RunProfileFromFirmware(const ProfileCommandArgs& args) {
  ProfileCreation created;
  try {
    created = CreateFirmwareProfile(args.firmware, args.profilesDir);
  } catch (const FileError& e) {
    return Fail(std::string(e.what()) + "\nFailed to create profile");
  }
  if (created.CreatedProfileName == kScanFailed)
    return Fail(args.firmware + ": " + created.failure + "\nFailed to create profile");
  std::cout << created.path.string() << '\n';
  return kSuccess;
}

// A field of a MIDlet row: tabs, line breaks and backslashes are escaped, so every MIDlet
// stays one tab-separated line.
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

int RunMidlets(const ProfileCommandArgs& args) {
  JavaSlotsLoad load;
  try {
    load = LoadJavaSlots(args.j2mest);
  } catch (const FileError& e) {
    return Fail(e.what());
  }
  if (!load.supported) return Fail(args.j2mest + ": " + load.message->text);
  for (std::size_t i = 0; i < load.slots.size(); ++i) {
    const auto& s = load.slots[i];
    if (!s) continue;
    std::cout << i << '\t' << Escaped(s->SlotName) << '\t' << Escaped(s->SlotVendor) << '\t'
              << Escaped(s->SlotMidlet1) << '\t' << int(s->SlotFlag) << '\n';
  }
  return kSuccess;
}

}  // namespace

std::optional<int> ApplyProfileOption(const std::string& path, MenuEditor& editor) {
  return LoadNamedProfile(path, editor, std::cerr);
}

void AddProfileCommands(CLI::App& app, ProfileCommandArgs& args, int& exitCode) {
  CLI::App* check = app.add_subcommand(
      "check-profile", "Load a profile as the editor does and print the settings it gives");
  AddPathArgument(check, "PRF", args.profile, "profile file (NAME.prf)");
  check->callback([&] { exitCode = RunCheckProfile(args); });

  CLI::App* fromFirmware = app.add_subcommand(
      "profile-from-firmware", "Create a profile by scanning a firmware image (CG1)");
  AddPathArgument(fromFirmware, "FW", args.firmware, "firmware image (*.bin, *.smg)");
  AddPathOption(fromFirmware, "--profiles-dir", args.profilesDir, "where to write NAME.prf")
      ->capture_default_str();
  fromFirmware->callback([&] { exitCode = RunProfileFromFirmware(args); });

  CLI::App* midlets = app.add_subcommand(
      "midlets", "List the MIDlets of a J2MEST file: INDEX, name, vendor, MIDlet-1, flag");
  AddPathArgument(midlets, "J2MEST", args.j2mest, "copy of the phone's J2MEST");
  midlets->callback([&] { exitCode = RunMidlets(args); });
}

}  // namespace trellune::cli
