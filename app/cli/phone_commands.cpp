#include "phone_commands.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>

#include "args.h"
#include "io/file_io.h"
#include "mma/menu_editor.h"
#include "mma/menu_reader.h"
#include "output.h"
#include "phone_link.h"
#include "profiles/profiles.h"
#include "phone_backend.h"
#include "transfers.h"
#include "usb_phone.h"

namespace trellune::cli {
namespace {

namespace fs = std::filesystem;
using namespace trellune::phone;

// The progress window on a terminal: each caption it gets, on its own line.
class StderrProgress : public Progress {
 public:
  void Show() override {}
  void Close() override {}
  void SetCaption(const std::string& caption) override {
    if (caption == caption_) return;
    caption_ = caption;
    std::cerr << caption << '\n';
  }
  std::string Caption() const override { return caption_; }
  void SetPercent(int) override {}

 private:
  std::string caption_;
};

// A connected phone for one command: the library started, the phone's arrival seen and the
// phone identified, as the window does when it shows.
struct Session {
  RealSleeper sleeper;
  std::unique_ptr<P2kApi> api;
  StderrProgress progress;
  PhoneLink link;
  PhoneTransfers transfers;
  int failures = 0;
  bool holdMessages = false;  // collect instead of printing at once
  std::vector<std::string> held;

  Session(const PhoneCommandArgs& args, std::function<void(const std::string&)> applyProfile)
      : api(MakePhoneBackend({args.phoneDir, args.usbTrace}, sleeper)),
        link(*api, sleeper,
             {std::move(applyProfile), [] { return false; },
              [this](const PhoneMessage& m) { Report(m); }, nullptr}),
        transfers(*api, link.Session(), sleeper, progress,
                  [this](const PhoneMessage& m) { Report(m); }) {}

  void Report(const PhoneMessage& m) {
    ++failures;
    if (holdMessages)
      held.push_back(m.text);
    else
      std::cerr << PrintableText(m.text) << '\n';
  }

  // Starts the link and waits for the phone's first report; false when there is no phone.
  // A phone on the cable that is still a modem is switched to command mode first.
  bool Connect() {
    auto* usbPhone = dynamic_cast<usb::UsbPhone*>(api.get());
    if (!link.ConnectPhone()) {
      if (usbPhone && !usbPhone->LastError().empty())
        std::cerr << PrintableText(usbPhone->LastError()) << '\n';
      return false;
    }
    api->Poll();
    if (!link.Session().PhoneConnected && usbPhone && usbPhone->ModemPhonePresent()) {
      if (!usbPhone->SwitchToCommandMode(
              [this](const std::string& caption) { progress.SetCaption(caption); })) {
        std::cerr << "The phone could not be switched to command mode: "
                  << PrintableText(usbPhone->LastError()) << '\n';
        return false;
      }
      api->Poll();
    }
    if (!link.Session().PhoneConnected) {
      std::cerr << "No phone connected\n";
      if (usbPhone) {
        std::cerr << "(no Motorola phone, vendor id 22b8, was found on USB";
        if (!usbPhone->LastError().empty())
          std::cerr << "; " << PrintableText(usbPhone->LastError());
        std::cerr << ")\n";
      }
      return false;
    }
    return true;
  }
};

// The profile the phone's firmware names, loaded onto `editor` as the window does when a
// phone is identified. Its warnings go to stderr.
void ApplyFirmwareProfile(const PhoneCommandArgs& args, const std::string& firmware,
                          MenuEditor& editor) {
  const auto path = ProfileFileIn(args.profilesDir, firmware);
  if (!path) {
    editor.ApplyDefaultProfile();
    PrintWarning(std::cerr, "Profile not found. Default profile will be applied");
    return;
  }
  try {
    for (const UserMessage& m : editor.LoadProfileFile(*path, {}).messages)
      PrintWarning(std::cerr, m);
  } catch (const FileError& e) {
    PrintWarning(std::cerr, e.what());
  }
}

int RunInfo(const PhoneCommandArgs& args) {
  MenuEditor editor;
  Session s(args,
            [&](const std::string& firmware) { ApplyFirmwareProfile(args, firmware, editor); });
  if (!s.Connect()) return kFailure;
  if (!s.link.Identified()) return kFailure;
  std::cout << s.link.Indicators().StatusText << '\n'
            << "firmware: " << s.link.PhoneFirmwareId() << '\n';
  return kSuccess;
}

int RunPull(const PhoneCommandArgs& args) {
  Session s(args, nullptr);
  if (!s.Connect()) return kFailure;
  std::error_code ec;
  fs::create_directories(args.outDir, ec);
  const fs::path menu = fs::path(args.outDir) / "mma_temp";
  const fs::path midlets = fs::path(args.outDir) / "j2mest_temp";
  s.holdMessages = true;
  const bool copied = !s.transfers.ReadPhoneFiles(menu, midlets).empty();
  // Once the menu is copied, a failure with the MIDlet list is only a warning.
  for (const std::string& text : s.held) {
    if (copied)
      PrintWarning(std::cerr, text);
    else
      std::cerr << PrintableText(text) << '\n';
  }
  return copied ? kSuccess : kFailure;
}

// FILE must read as a whole menu, with the profile the phone's firmware names when there is
// one (its kinds, its record length): a phone given anything else may not start again.
std::optional<std::string> PushProblem(const std::string& file, const MenuDocument& phoneProfile,
                                       const std::optional<std::string>& profileName) {
  MenuDocument doc;
  doc.Kinds = phoneProfile.Kinds;
  try {
    const std::vector<UserMessage> warnings = ReadMenuFile(file, doc);
    if (!warnings.empty()) return file + ": " + warnings.front().text;
  } catch (const FileError& e) {
    return e.what();
  } catch (const MalformedMenuFile& e) {
    return e.what();
  } catch (const ProfileMismatch&) {
    return file + " holds item kinds that " +
           (profileName ? "the phone's profile " + *profileName + " does not know"
                        : std::string("no profile knows"));
  }
  const int phoneLength = phoneProfile.Options.recordLength;
  if (profileName && doc.Options.recordLength != phoneLength)
    return file + " has " + std::to_string(doc.Options.recordLength) +
           "-byte records, but the phone's profile " + *profileName + " has " +
           std::to_string(phoneLength) + "-byte records";
  return std::nullopt;
}

int RunPush(const PhoneCommandArgs& args) {
  MenuEditor editor;
  std::optional<std::string> profileName;
  Session s(args, [&](const std::string& firmware) {
    std::error_code ec;
    const auto path = ProfileFileIn(args.profilesDir, firmware);
    if (!path || !fs::exists(*path, ec)) return;  // no profile: the built-in kinds
    ApplyFirmwareProfile(args, firmware, editor);
    profileName = firmware;
  });
  if (!s.Connect()) return kFailure;
  if (auto problem = PushProblem(args.file, editor.Document(), profileName))
    return Fail(*problem + "; nothing was sent to the phone");
  return s.transfers.WritePhoneMenu(args.file) ? kSuccess : kFailure;
}

int RunRestart(const PhoneCommandArgs& args) {
  Session s(args, nullptr);
  if (!s.Connect()) return kFailure;
  s.transfers.RestartPhone();
  return kSuccess;
}

int RunPictures(const PhoneCommandArgs& args) {
  Session s(args, nullptr);
  if (!s.Connect()) return kFailure;
  s.failures = 0;
  s.transfers.RetrievePictureList();
  for (const P2kFileEntry& e : s.link.Session().PictureList)
    std::cout << e.FileSize << '\t' << e.Path() << '\n';
  return s.failures ? kFailure : kSuccess;
}

}  // namespace

void AddPhoneCommands(CLI::App& app, PhoneCommandArgs& args, int& exitCode) {
  CLI::App* phone =
      app.add_subcommand("phone", "Talk to a phone: info, pull, push, restart, pictures");
  AddPathOption(phone, "--phone", args.phoneDir,
                "the phone: usb (on the USB cable) or a virtual phone's folder")
      ->envname("TRELLUNE_PHONE")
      ->capture_default_str();
  AddPathOption(phone, "--usb-trace", args.usbTrace,
                "write every USB exchange with the phone to FILE (for problem reports)");
  AddPathOption(phone, "--profiles-dir", args.profilesDir,
                "where the profile named after the phone's firmware is looked for")
      ->capture_default_str();
  phone->require_subcommand(1);

  phone->add_subcommand("info", "Identify the phone: its status text and firmware identifier")
      ->callback([&] { exitCode = RunInfo(args); });
  CLI::App* pull = phone->add_subcommand(
      "pull", "Copy the menu (and the MIDlet list) to OUTDIR/mma_temp (j2mest_temp)");
  AddPathArgument(pull, "OUTDIR", args.outDir, "working folder");
  pull->callback([&] { exitCode = RunPull(args); });
  CLI::App* push = phone->add_subcommand("push", "Write FILE to the phone as its menu");
  AddPathArgument(push, "FILE", args.file, "mma_ucp to send (read first: it must be a whole menu)");
  push->callback([&] { exitCode = RunPush(args); });
  phone->add_subcommand("restart", "Restart the phone")->callback([&] {
    exitCode = RunRestart(args);
  });
  phone->add_subcommand("pictures", "List the phone's GIF pictures: SIZE<TAB>PATH")->callback([&] {
    exitCode = RunPictures(args);
  });
}

}  // namespace trellune::cli
