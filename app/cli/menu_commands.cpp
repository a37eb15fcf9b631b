#include "menu_commands.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>

#include "args.h"
#include "io/file_io.h"
#include "mma/menu_editor.h"
#include "mma/menu_reader.h"
#include "output.h"
#include "profile_commands.h"

namespace trellune::cli {
namespace {

namespace fs = std::filesystem;

// Usage problems found while applying the overrides (the window has these controls disabled
// in 36-byte mode, so the command line refuses them there).
std::optional<std::string> ApplyOverrides(MenuEditor& editor, const Overrides& o) {
  if (o.recordLength) editor.SelectRecordLength(*o.recordLength);
  if (o.iconCode && !editor.SetIconMarker(*o.iconCode == "06" ? IconMarker::k06 : IconMarker::k0C))
    return "--icon-code needs 22-byte records (36-byte files always use 0C)";
  if (o.c698pFix && !editor.SetC698pFix(*o.c698pFix == 1))
    return "--c698p-fix needs 22-byte records";
  if (o.saveAllData) editor.SetSaveAllData(true);
  return std::nullopt;
}

void AddProfileOption(CLI::App* cmd, std::optional<std::string>& profile) {
  cmd->add_option("--profile", profile,
                  "Profile file (NAME.prf) to load first, as selecting it in the editor does");
}

void AddOverrideOptions(CLI::App* cmd, Overrides& o) {
  cmd->add_option("--record-length", o.recordLength, "Record length of the output: 22 or 36")
      ->check(CLI::IsMember({22, 36}));
  cmd->add_option("--icon-code", o.iconCode, "Custom icon type code (22-byte only): 06 or 0C")
      ->check(CLI::IsMember({"06", "0C"}));
  cmd->add_option("--c698p-fix", o.c698pFix, "C698p header fix (22-byte only): 0 or 1")
      ->check(CLI::IsMember({0, 1}));
  cmd->add_flag("--save-all-data", o.saveAllData,
                "Keep item types and data frames the editor does not know");
}

// Reads a menu as the Open command does; its warnings go to stderr, naming the file.
// Returns an exit code on failure.
std::optional<int> OpenMenu(const std::string& path, MenuEditor& editor) {
  try {
    for (const UserMessage& w : editor.Open(path)) PrintWarning(std::cerr, path + ": " + w.text);
  } catch (const FileError& e) {
    return Fail(e.what());
  } catch (const MalformedMenuFile& e) {
    return Fail(e.what());
  } catch (const ProfileMismatch&) {
    return Fail("Cannot open " + path + ": it holds item kinds that no profile knows");
  }
  return std::nullopt;
}

// Writes the menu to `path`, or to standard output when it is "-".
int SaveMenu(const std::string& path, MenuEditor& editor, const Overrides& overrides) {
  if (auto usage = ApplyOverrides(editor, overrides)) return UsageError(*usage);
  try {
    if (path == "-") {
      WriteOutcome out = editor.Serialize();
      if (!out.ok()) return Fail(out.refusal->text);
      std::cout.write(reinterpret_cast<const char*>(out.bytes.data()),
                      std::streamsize(out.bytes.size()));
    } else if (auto refusal = editor.Save(path)) {
      return Fail(refusal->text);
    }
  } catch (const FileError& e) {
    return Fail(e.what());
  }
  return kSuccess;
}

// The start-up state, with the --profile file loaded onto it when one was given.
std::optional<int> StartState(const MenuCommandArgs& args, MenuEditor& editor) {
  if (args.profile) return ApplyProfileOption(*args.profile, editor);
  return std::nullopt;
}

int RunConvert(const MenuCommandArgs& args) {
  MenuEditor editor;
  if (auto code = StartState(args, editor)) return *code;
  if (auto code = OpenMenu(args.input, editor)) return *code;
  return SaveMenu(args.output, editor, args.overrides);
}

int RunExport(const MenuCommandArgs& args) {
  MenuEditor editor;
  if (auto code = StartState(args, editor)) return *code;
  if (auto code = OpenMenu(args.input, editor)) return *code;
  if (args.overrides.saveAllData) editor.SetSaveAllData(true);
  std::cout << MenuToJson(editor.Document()).dump(2) << '\n';
  return kSuccess;
}

int RunImport(const MenuCommandArgs& args) {
  // The JSON source must never be overwritten by the menu file written from it.
  std::error_code ec;
  if (args.output != "-" && fs::equivalent(args.input, args.output, ec))
    return Fail("Cannot write " + args.output + ": it is the JSON file being imported");
  MenuEditor editor;
  if (auto code = StartState(args, editor)) return *code;
  // Asked for here, it also covers a form that does not say.
  if (args.overrides.saveAllData) editor.SetSaveAllData(true);
  try {
    const std::vector<std::uint8_t> bytes = ReadFilePrefix(args.input, kMaxMenuJsonBytes + 1);
    editor.ImportJson(ParseMenuJson({reinterpret_cast<const char*>(bytes.data()), bytes.size()}));
  } catch (const FileError& e) {
    return Fail(e.what());
  } catch (const MenuJsonError& e) {
    return Fail("Cannot read " + args.input + ": " + e.what());
  }
  return SaveMenu(args.output, editor, args.overrides);
}

}  // namespace

void AddMenuCommands(CLI::App& app, MenuCommandArgs& args, int& exitCode) {
  CLI::App* convert = app.add_subcommand(
      "convert", "Read an mma_ucp file and write it again, in the dialect the options select");
  AddPathArgument(convert, "IN", args.input, "mma_ucp to read");
  AddPathArgument(convert, "OUT", args.output, "mma_ucp to write (- for standard output)");
  AddProfileOption(convert, args.profile);
  AddOverrideOptions(convert, args.overrides);
  convert->callback([&] { exitCode = RunConvert(args); });

  CLI::App* exportCmd = app.add_subcommand("export", "Print the JSON form of an mma_ucp file");
  AddPathArgument(exportCmd, "IN", args.input, "mma_ucp to read");
  AddProfileOption(exportCmd, args.profile);
  exportCmd->add_flag("--save-all-data", args.overrides.saveAllData,
                      "Keep item types the editor does not know (else they show as written: 0)");
  exportCmd->callback([&] { exitCode = RunExport(args); });

  CLI::App* importCmd =
      app.add_subcommand("import", "Write an mma_ucp file from the JSON form of a menu");
  AddPathArgument(importCmd, "JSON", args.input, "JSON menu to read");
  AddPathArgument(importCmd, "OUT", args.output, "mma_ucp to write (- for standard output)");
  AddProfileOption(importCmd, args.profile);
  AddOverrideOptions(importCmd, args.overrides);
  importCmd->callback([&] { exitCode = RunImport(args); });
}

}  // namespace trellune::cli
