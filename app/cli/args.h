// Arguments shared by the commands: file and folder paths, which may not be empty.
#pragma once

#include <string>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace trellune::cli {

// A required path argument; an empty one is a usage error.
CLI::Option* AddPathArgument(CLI::App* command, const std::string& name, std::string& value,
                             const std::string& description);

// An optional path option (such as --profiles-dir); an empty one is a usage error.
CLI::Option* AddPathOption(CLI::App* command, const std::string& name, std::string& value,
                           const std::string& description);

}  // namespace trellune::cli
