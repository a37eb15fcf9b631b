// trellune-cli phone [--phone usb|DIR] COMMAND: info, pull, push, restart, pictures, against
// the phone on the USB cable (the default) or a virtual phone's folder (the choice may also
// come from TRELLUNE_PHONE).
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace trellune::cli {

struct PhoneCommandArgs {
  std::string phoneDir = "usb";
  std::string usbTrace;  // every USB exchange is written here
  std::string profilesDir = "Profiles";  // where the firmware's profile is looked for
  std::string outDir;
  std::string file;
};

void AddPhoneCommands(CLI::App& app, PhoneCommandArgs& args, int& exitCode);

}  // namespace trellune::cli
