// Helpers for the window's tests: prompts that record and answer from a script, a sleeper
// that never waits, and a working folder with the demo's profiles and a copy of its phone.
#pragma once

#include <QAction>
#include <QDialog>
#include <QStringList>
#include <QTest>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main_window.h"
#include "phone_controller.h"
#include "user_prompts.h"
#include "virtual_phone.h"

namespace trellune::ui::test {

namespace fs = std::filesystem;

// What a dialog showed: "show|ask|open|save|exec", its text, caption and icon.
struct Shown {
  std::string kind;
  std::string text;
  std::string caption;
  MessageIcon icon = MessageIcon::None;
};

class ScriptedPrompts : public UserPrompts {
 public:
  void Show(QWidget*, const UserMessage& m) override {
    shown.push_back({"show", m.text, m.caption, m.icon});
  }
  bool Ask(QWidget*, const UserMessage& m) override {
    shown.push_back({"ask", m.text, m.caption, m.icon});
    const bool yes = !answers.empty() && answers.front();
    if (!answers.empty()) answers.pop_front();
    return yes;
  }
  int Choose(QWidget*, const UserMessage& m, const QStringList& buttons) override {
    shown.push_back({"choose", m.text, buttons.join('|').toStdString(), m.icon});
    const int chosen = choices.empty() ? int(buttons.size()) - 1 : choices.front();
    if (!choices.empty()) choices.pop_front();
    return chosen;
  }
  QString OpenFileName(QWidget*, const QString& title, const QString& filter) override {
    shown.push_back({"open", title.toStdString(), filter.toStdString()});
    return Next();
  }
  QString SaveFileName(QWidget*, const QString& title, const QString& filter) override {
    shown.push_back({"save", title.toStdString(), filter.toStdString()});
    return Next();
  }
  int Exec(QDialog& dialog) override {
    shown.push_back({"exec", dialog.objectName().toStdString(), "", MessageIcon::None});
    return onExec ? onExec(dialog) : QDialog::Rejected;
  }

  // The texts of the message boxes shown, in order.
  std::vector<std::string> Texts(const std::string& kind = "show") const {
    std::vector<std::string> out;
    for (const Shown& s : shown)
      if (s.kind == kind) out.push_back(s.text);
    return out;
  }

  std::vector<Shown> shown;
  std::deque<bool> answers;   // for Ask; No when empty
  std::deque<int> choices;    // for Choose; the last button when empty
  std::deque<QString> files;  // for the file dialogs; cancelled when empty
  std::function<int(QDialog&)> onExec;

 private:
  QString Next() {
    if (files.empty()) return {};
    QString f = files.front();
    files.pop_front();
    return f;
  }
};

class NoWait : public phone::Sleeper {
 public:
  void Sleep(int ms) override { pauses.push_back(ms); }
  std::vector<int> pauses;
};

inline std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void Spit(const fs::path& p, const std::string& s) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << s;
}

inline std::string Demo(const std::string& rel) {
  return std::string(TRELLUNE_SOURCE_DIR) + "/demo/" + rel;
}

// A working folder for one test: Profiles/ from the demo and a copy of the demo phone.
class Workspace {
 public:
  explicit Workspace(const std::string& name)
      : dir_(fs::temp_directory_path() / ("trellune_ui_" + name)) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::copy(Demo("Profiles"), dir_ / "Profiles", fs::copy_options::recursive);
    fs::copy(Demo("phone"), dir_ / "phone", fs::copy_options::recursive);
  }
  ~Workspace() { fs::remove_all(dir_); }
  const fs::path& Dir() const { return dir_; }
  fs::path Phone() const { return dir_ / "phone"; }
  fs::path PhoneFile(const std::string& phonePath) const {
    return dir_ / "phone" / "fs" / phonePath.substr(1);
  }
  void Unplug() const { fs::rename(Phone() / "seem", Phone() / "unplugged"); }
  void Plug() const { fs::rename(Phone() / "unplugged", Phone() / "seem"); }
  void Faults(const std::string& text) const { Spit(Phone() / "faults", text); }

 private:
  fs::path dir_;
};

// A window over a workspace, with scripted prompts and no waiting. `phone` replaces the
// virtual phone over the workspace's phone folder; `withPhone` false gives no backend.
struct Harness {
  explicit Harness(const Workspace& ws, bool withPhone = true,
                   std::unique_ptr<phone::P2kApi> phone = nullptr) {
    WindowSetup setup;
    setup.appDir = ws.Dir();
    if (phone)
      setup.phone = std::move(phone);
    else if (withPhone)
      setup.phone = std::make_unique<phone::VirtualPhone>(ws.Phone());
    setup.prompts = &prompts;
    setup.sleeper = &sleeper;
    window = std::make_unique<MainWindow>(std::move(setup));
  }
  // Shows the window: the phone link starts and a connected phone is identified.
  void Show() {
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  }
  template <typename T>
  T* Find(const char* name) const {
    return window->findChild<T*>(QString::fromLatin1(name));
  }
  QAction* Action(const char* name) const { return Find<QAction>(name); }

  ScriptedPrompts prompts;
  NoWait sleeper;
  std::unique_ptr<MainWindow> window;
};

}  // namespace trellune::ui::test
