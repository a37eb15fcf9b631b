// The menu file commands of trellune-cli: convert, export, import.
#pragma once

#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace trellune::cli {

// The save option overrides shared by convert and import, applied in this order as the
// window's controls would be: record length, icon code, C698p fix, "Save all data".
struct Overrides {
  std::optional<int> recordLength;
  std::optional<std::string> iconCode;
  std::optional<int> c698pFix;
  bool saveAllData = false;
};

struct MenuCommandArgs {
  std::string input;
  std::string output;
  std::optional<std::string> profile;
  Overrides overrides;
};

// Registers the subcommands; `run` receives the exit code of the one that ran.
void AddMenuCommands(CLI::App& app, MenuCommandArgs& args, int& exitCode);

}  // namespace trellune::cli
