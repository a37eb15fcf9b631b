// trellune-cli: the menu editor's file, profile and phone operations for scripts and batches.
// Exit codes: 0 success, 1 failure (message on stderr), 2 usage error.
#include <CLI/CLI.hpp>
#include <iostream>

#include "menu_commands.h"
#include "output.h"
#include "phone_commands.h"
#include "profile_commands.h"

int main(int argc, char** argv) {
  using namespace trellune::cli;
  CLI::App app{"Trellune: edit the main menu file (mma_ucp) of P2K phones"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "trellune-cli 0.21");

  int exitCode = kSuccess;
  MenuCommandArgs menuArgs;
  AddMenuCommands(app, menuArgs, exitCode);
  ProfileCommandArgs profileArgs;
  AddProfileCommands(app, profileArgs, exitCode);
  PhoneCommandArgs phoneArgs;
  AddPhoneCommands(app, phoneArgs, exitCode);

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
    return Fail(e.what());
  }
  return exitCode;
}
