// The profile commands of trellune-cli: check-profile, profile-from-firmware, midlets, and the
// --profile option of the menu commands.
#pragma once

#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace trellune {
class MenuEditor;
}

namespace trellune::cli {

struct ProfileCommandArgs {
  std::string profile;
  std::string firmware;
  std::string profilesDir = "Profiles";
  std::string j2mest;
};

void AddProfileCommands(CLI::App& app, ProfileCommandArgs& args, int& exitCode);

// Loads a profile file as selecting it in the window does; its messages go to stderr as
// warnings. Returns an exit code when the file exists but cannot be read.
std::optional<int> ApplyProfileOption(const std::string& path, MenuEditor& editor);

}  // namespace trellune::cli
