#include "args.h"

#include <CLI/CLI.hpp>

namespace trellune::cli {
namespace {

const CLI::Validator kNotEmpty(
    [](std::string& value) { return value.empty() ? std::string("a path cannot be empty") : ""; },
    "PATH");

}  // namespace

CLI::Option* AddPathArgument(CLI::App* command, const std::string& name, std::string& value,
                             const std::string& description) {
  return command->add_option(name, value, description)->required()->check(kNotEmpty);
}

CLI::Option* AddPathOption(CLI::App* command, const std::string& name, std::string& value,
                           const std::string& description) {
  return command->add_option(name, value, description)->check(kNotEmpty);
}

}  // namespace trellune::cli
