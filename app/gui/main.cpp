// trellune: the menu editor's window.
//   trellune [FILE] [--phone usb|DIR] [--usb-trace FILE] [--screenshot PNG]
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QStandardPaths>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <iostream>
#include <string_view>

#include "main_window.h"
#include "phone_backend.h"
#include "phone_controller.h"
#include "user_prompts.h"

namespace {

// For --screenshot: nothing may wait for a user, so messages go to stderr and questions are
// answered No.
class UnattendedPrompts : public trellune::ui::UserPrompts {
 public:
  void Show(QWidget*, const trellune::UserMessage& m) override {
    std::cerr << trellune::ui::DisplayText(m.text).toStdString() << '\n';
  }
  bool Ask(QWidget*, const trellune::UserMessage&) override { return false; }
  int Choose(QWidget*, const trellune::UserMessage&, const QStringList& buttons) override {
    return int(buttons.size()) - 1;
  }
  QString OpenFileName(QWidget*, const QString&, const QString&) override { return {}; }
  QString SaveFileName(QWidget*, const QString&, const QString&) override { return {}; }
  int Exec(QDialog&) override { return 0; }
};

bool HasOption(int argc, char** argv, std::initializer_list<std::string_view> names) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") break;
    for (std::string_view name : names)
      if (arg == name || (name.starts_with("--") && arg.starts_with(std::string(name) + "=")))
        return true;
  }
  return false;
}

bool HasDisplay() {
  return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
}

}  // namespace

// The working folder (profiles, backups, temporary files): the current folder when it holds
// a Profiles folder (one the user keeps, or `make run`'s), else the user's data folder, which
// is given the installed profiles the first time.
static std::filesystem::path WorkingFolder() {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path here = fs::current_path(ec);
  if (!ec && fs::is_directory(here / "Profiles", ec)) return here;
  const fs::path data =
      QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString();
  if (data.empty() || (!fs::create_directories(data, ec) && ec)) return here;
  if (!fs::exists(data / "Profiles", ec)) {
    const fs::path installed = fs::path(QCoreApplication::applicationDirPath().toStdString()) /
                               ".." / "share" / "trellune" / "Profiles";
    if (fs::is_directory(installed, ec))
      fs::copy(installed, data / "Profiles", fs::copy_options::recursive, ec);
  }
  return data;
}

int main(int argc, char** argv) {
  // A screenshot, the help and the version need no display: without one, the window system
  // is replaced by drawing off screen. Anything else needs a display, and says so plainly.
  if (!HasDisplay()) {
    if (HasOption(argc, argv, {"--screenshot", "--help", "-h", "--help-all", "--version", "-v"})) {
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
    } else {
      std::cerr << "trellune: no display to show the window on (DISPLAY is not set); "
                   "--screenshot PNG draws it without one\n";
      return 1;
    }
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("trellune"));
  QApplication::setApplicationVersion(QStringLiteral("0.21"));
  QGuiApplication::setDesktopFileName(QStringLiteral("org.trellune.Trellune"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.trellune.Trellune")));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Trellune: edit the main menu file (mma_ucp) of P2K phones"));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("mma_ucp to open"),
                               QStringLiteral("[FILE]"));
  const QCommandLineOption phoneOption(
      QStringLiteral("phone"),
      QStringLiteral("The phone: usb (on the USB cable, the default) or a virtual phone's "
                     "folder (also TRELLUNE_PHONE)."),
      QStringLiteral("usb|DIR"));
  const QCommandLineOption traceOption(
      QStringLiteral("usb-trace"),
      QStringLiteral("Write every USB exchange with the phone to FILE (for problem reports)."),
      QStringLiteral("FILE"));
  const QCommandLineOption shotOption(
      QStringLiteral("screenshot"),
      QStringLiteral("Save a picture of the window to PNG once it is shown, and quit."),
      QStringLiteral("PNG"));
  parser.addOption(phoneOption);
  parser.addOption(traceOption);
  parser.addOption(shotOption);
  parser.process(app);
  if (parser.positionalArguments().size() > 1) {
    std::cerr << "trellune: give at most one FILE (see --help)\n";
    return 2;
  }

  QString phoneDir = parser.value(phoneOption);
  if (phoneDir.isEmpty()) phoneDir = qEnvironmentVariable("TRELLUNE_PHONE");
  const QString shot = parser.value(shotOption);

  trellune::ui::DialogPrompts dialogs;
  UnattendedPrompts unattended;
  trellune::ui::WindowSetup setup;
  setup.appDir = WorkingFolder();
  // Phone waits pump the event loop, the USB backend's reply polls included.
  trellune::ui::EventLoopSleeper sleeper;
  setup.sleeper = &sleeper;
  try {
    setup.phone = trellune::phone::MakePhoneBackend(
        {phoneDir.toStdString(), parser.value(traceOption).toStdString()}, sleeper);
  } catch (const std::exception& e) {
    std::cerr << "trellune: " << e.what() << '\n';
    return 2;
  }
  setup.prompts = shot.isEmpty() ? static_cast<trellune::ui::UserPrompts*>(&dialogs) : &unattended;
  trellune::ui::MainWindow window(std::move(setup));
  window.show();
  if (!parser.positionalArguments().isEmpty())
    window.OpenPath(parser.positionalArguments().front().toStdString());

  if (!shot.isEmpty()) {
    QTimer::singleShot(0, &window, [&] {
      QApplication::processEvents();
      const bool saved = window.grab().save(shot, "PNG");
      if (!saved) std::cerr << "trellune: cannot write " << shot.toStdString() << '\n';
      QApplication::exit(saved ? 0 : 1);
    });
  }
  return QApplication::exec();
}
