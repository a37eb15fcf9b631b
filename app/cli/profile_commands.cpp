#include "profile_commands.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "io/file_io.h"
#include "j2mest/java_slots.h"
#include "mma/menu_editor.h"
#include "output.h"
#include "profiles/firmware_scan.h"
#include "profiles/profiles.h"

namespace trellune::cli {
namespace {

int RunCheckProfile(const ProfileCommandArgs& args) {
  MenuEditor editor;
  ProfileLoad load;
  try {
    load = editor.LoadProfileFile(args.profile, {});
  } catch (const FileError& e) {
    return Fail(e.what());
  }
  for (const UserMessage& m : load.messages) PrintWarning(std::cout, m);
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
  std::string created;
  try {
    created = CreateFirmwareProfile(args.firmware, args.profilesDir);
  } catch (const FileError& e) {
    std::cerr << e.what() << '\n';
    created = std::string(kScanFailed);
  }
  if (created == kScanFailed) return Fail("Failed to create profile");
  std::cout << created << '\n';
  return kSuccess;
}

int RunMidlets(const ProfileCommandArgs& args) {
  JavaSlotsLoad load;
  try {
    load = LoadJavaSlots(args.j2mest);
  } catch (const FileError& e) {
    return Fail(e.what());
  }
  if (!load.supported) return Fail(load.message->text);
  for (std::size_t i = 0; i < load.slots.size(); ++i) {
    const auto& s = load.slots[i];
    if (!s) continue;
    std::cout << i << '\t' << s->SlotName << '\t' << s->SlotVendor << '\t' << s->SlotMidlet1 << '\t'
              << int(s->SlotFlag) << '\n';
  }
  return kSuccess;
}

}  // namespace

std::optional<int> ApplyProfileOption(const std::string& path, MenuEditor& editor) {
  try {
    for (const UserMessage& m : editor.LoadProfileFile(path, {}).messages)
      PrintWarning(std::cerr, m);
  } catch (const FileError& e) {
    return Fail(e.what());
  }
  return std::nullopt;
}

void AddProfileCommands(CLI::App& app, ProfileCommandArgs& args, int& exitCode) {
  CLI::App* check = app.add_subcommand(
      "check-profile", "Load a profile as the editor does and print the settings it gives");
  check->add_option("PRF", args.profile, "profile file (NAME.prf)")->required();
  check->callback([&] { exitCode = RunCheckProfile(args); });

  CLI::App* fromFirmware = app.add_subcommand(
      "profile-from-firmware", "Create a profile by scanning a firmware image (CG1)");
  fromFirmware->add_option("FW", args.firmware, "firmware image (*.bin, *.smg)")->required();
  fromFirmware->add_option("--profiles-dir", args.profilesDir, "where to write NAME.prf")
      ->capture_default_str();
  fromFirmware->callback([&] { exitCode = RunProfileFromFirmware(args); });

  CLI::App* midlets = app.add_subcommand(
      "midlets", "List the MIDlets of a J2MEST file: INDEX, name, vendor, MIDlet-1, flag");
  midlets->add_option("J2MEST", args.j2mest, "copy of the phone's J2MEST")->required();
  midlets->callback([&] { exitCode = RunMidlets(args); });
}

}  // namespace trellune::cli
