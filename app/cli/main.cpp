// trellune-cli: the menu editor's file, profile and phone operations for scripts and batches.
// Exit codes: 0 success, 1 failure (message on stderr), 2 usage error.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "menu_commands.h"
#include "output.h"
#include "phone_commands.h"
#include "profile_commands.h"

namespace {

using namespace trellune::cli;

std::vector<CLI::App*> Commands(CLI::App& app) {
  return app.get_subcommands([](CLI::App*) { return true; });
}

CLI::App* CommandNamed(CLI::App& app, const std::string& word) {
  for (CLI::App* sub : Commands(app))
    if (sub->check_name(word)) return sub;
  return nullptr;
}

// The first word that is not an option must name a command of `app`; CLI11 would only say
// that a command is required.
std::optional<std::string> UnknownCommand(CLI::App& app, int argc, char** argv, int from) {
  if (Commands(app).empty()) return std::nullopt;  // the words are this command's arguments
  for (int i = from; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") return std::nullopt;
    if (word.starts_with("-")) {
      // Options of this level that take a value skip it.
      if (CLI::Option* o = app.get_option_no_throw(word.substr(0, word.find('=')));
          o && o->get_type_size() != 0 && word.find('=') == std::string::npos)
        ++i;
      continue;
    }
    CLI::App* sub = CommandNamed(app, word);
    if (!sub) return "unknown command '" + word + "' (see --help)";
    return UnknownCommand(*sub, argc, argv, i + 1);
  }
  return std::nullopt;
}

// Output that did not reach its file (a full disk, a closed pipe) is a failure, not success.
// The reason is that of the last failed write when the final flush has none of its own.
bool StandardOutputFailed() {
  const int earlier = errno;
  errno = 0;
  std::cout.flush();
  int reason = errno;
  bool failed = std::fflush(stdout) != 0;
  if (failed && errno) reason = errno;
  failed = failed || std::ferror(stdout) || !std::cout;
  if (!reason) reason = earlier ? earlier : EIO;
  if (failed) std::cerr << "Cannot write to standard output: " << std::strerror(reason) << '\n';
  return failed;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Trellune: edit the main menu file (mma_ucp) of P2K phones"};
  app.set_version_flag("--version", "trellune-cli 0.21");

  int exitCode = kSuccess;
  MenuCommandArgs menuArgs;
  AddMenuCommands(app, menuArgs, exitCode);
  ProfileCommandArgs profileArgs;
  AddProfileCommands(app, profileArgs, exitCode);
  PhoneCommandArgs phoneArgs;
  AddPhoneCommands(app, phoneArgs, exitCode);

  if (auto unknown = UnknownCommand(app, argc, argv, 1)) return UsageError(*unknown);
  app.require_subcommand(1);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kUsage;
  } catch (const std::exception& e) {
    Fail(e.what());
    exitCode = kFailure;
  }
  if (StandardOutputFailed()) return kFailure;
  return exitCode;
}
