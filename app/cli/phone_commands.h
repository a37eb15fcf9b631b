// trellune-cli phone --phone DIR COMMAND: info, pull, push, restart, pictures, against a
// virtual phone (DIR may also come from TRELLUNE_PHONE).
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace trellune::cli {

struct PhoneCommandArgs {
  std::string phoneDir;
  std::string profilesDir = "Profiles";  // where the firmware's profile is looked for
  std::string outDir;
  std::string file;
};

void AddPhoneCommands(CLI::App& app, PhoneCommandArgs& args, int& exitCode);

}  // namespace trellune::cli
