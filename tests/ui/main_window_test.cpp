// The window: start-up state, enabled rules, the option rules, the file, phone and profile
// commands with their messages, backups and read-back checks, closing.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QToolBar>
#include <QTreeView>

#include "io/file_io.h"
#include "mma/menu_reader.h"
#include "progress_window.h"
#include "simulated_device.h"
#include "ui/ui_fixture.h"
#include "usb_phone.h"

using namespace trellune;
using namespace trellune::ui;
using namespace trellune::ui::test;

namespace {

QStringList Items(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

// Which of Save (button and menu entry), Open from phone, Save to phone, Restart Phone and
// ComboBox1 are enabled, as "SOPRK" letters or "-".
QString Enabled(const Harness& h) {
  QString s;
  s += h.Action("FileSave1")->isEnabled() && h.Action("FileSave1Button")->isEnabled() ? 'S' : '-';
  s += h.Action("PhoneOpen")->isEnabled() ? 'O' : '-';
  s += h.Action("PhoneSave")->isEnabled() ? 'P' : '-';
  s += h.Action("PhoneRestart")->isEnabled() ? 'R' : '-';
  s += h.Find<QComboBox>("ComboBox1")->isEnabled() ? 'K' : '-';
  return s;
}

QColor Indicator(const Harness& h) {
  return h.Find<QFrame>("Shape1")->palette().color(QPalette::Window);
}

// A virtual phone that misbehaves on purpose.
class OddPhone : public phone::VirtualPhone {
 public:
  using VirtualPhone::VirtualPhone;
  std::function<void()> afterList;  // runs after each file list
  bool garbleWrites = false;        // what reaches the phone differs from what was sent
  int File_ListEx(phone::P2kFileEntry* e, int n, const phone::ListProgressCallback& p) override {
    const int r = VirtualPhone::File_ListEx(e, n, p);
    if (afterList) afterList();
    return r;
  }
  int File_Write(const std::uint8_t* buffer, int size) override {
    if (!garbleWrites || size == 0) return VirtualPhone::File_Write(buffer, size);
    std::vector<std::uint8_t> changed(buffer, buffer + size);
    changed.back() ^= 0xFF;
    return VirtualPhone::File_Write(changed.data(), size);
  }
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void startUpState();
  void enabledStateFollowsThePhoneAndTheMenu();
  void openWithAProfileMismatchFallsBackToDefault();
  void openFailuresLeaveAnEmptyMenu();
  void optionRules();
  void statusAndSummary();
  void saveAsWritesWhatTheCommandLineWrites();
  void openFromPhone();
  void phoneFailures();
  void saveToPhoneBacksUpAndChecks();
  void rebootQuestionOnClosing();
  void profileSelectorAndCreateNew();
  void phoneWaitsKeepTheWindowPainting();
  void droppedFileIsOpened();
  void statusPanelsShowTheirWholeText();
  void usbPhoneInModemModeIsSwitchedOnRequest();
};

void MainWindowTest::startUpState() {
  Workspace ws("startup");
  fs::remove_all(ws.Dir() / "Profiles");
  Harness h(ws, false);
  h.Show();
  MainWindow& w = *h.window;
  QCOMPARE(w.objectName(), QStringLiteral("TSDIAppForm"));
  QCOMPARE(w.windowTitle(), QStringLiteral("Trellune v.0.21 [fix]"));
  // Opened in the middle of its screen.
  const QPoint offCentre = w.frameGeometry().center() - w.screen()->availableGeometry().center();
  QVERIFY2(offCentre.manhattanLength() <= 2,
           qPrintable(QStringLiteral("%1,%2").arg(offCentre.x()).arg(offCentre.y())));
  struct Command {
    const char* name;
    const char* text;
    const char* shortcut;
    bool enabled;
  } commands[] = {
      {"FileNew1", "&New", "Ctrl+N", true},          {"FileOpen1", "&Open", "Ctrl+O", true},
      {"FileSave1", "&Save as...", "Ctrl+S", false}, {"FileSave1Button", "&Save", "", false},
      {"PhoneOpen", "Open from &phone", "", false},  {"PhoneSave", "Save to p&hone", "", false},
      {"PhoneRestart", "&Restart Phone", "", false}, {"FileExit1", "E&xit", "", true},
      {"HelpAbout1", "&About...", "", true},
  };
  for (const Command& c : commands) {
    QAction* a = h.Action(c.name);
    QVERIFY2(a, c.name);
    QCOMPARE(a->text(), QString::fromLatin1(c.text));
    QCOMPARE(a->shortcut(), QKeySequence(QString::fromLatin1(c.shortcut)));
    QCOMPARE(a->isEnabled(), c.enabled);
  }
  QStringList menus;
  for (QAction* a : w.menuBar()->actions()) menus << a->text();
  QCOMPARE(menus, (QStringList{"&File", "&Edit", "&Help"}));
  QStringList buttons;
  for (QAction* a : h.Find<QToolBar>("ToolBar1")->actions())
    if (!a->isSeparator() && !a->text().isEmpty() && a->isVisible()) buttons << a->objectName();
  QCOMPARE(buttons, (QStringList{"FileNew1", "FileOpen1", "FileSave1Button", "EditUndo1",
                                 "EditRedo1", "PhoneOpen", "PhoneSave", "PhoneRestart"}));

  auto* selector = h.Find<QComboBox>("ComboBox2");
  QVERIFY(selector->isEditable());
  QCOMPARE(Items(selector), (QStringList{"Default", "Create new..."}));
  QCOMPARE(selector->currentText(), QStringLiteral("Default"));
  auto* kinds = h.Find<QComboBox>("ComboBox1");
  QVERIFY(!kinds->isEnabled());
  QCOMPARE(kinds->count(), 147);
  QCOMPARE(kinds->itemText(5), QStringLiteral("AirplnMode [A630]"));
  QCOMPARE(kinds->itemText(146), QStringLiteral("Custom item"));
  QCOMPARE(h.Find<QLabel>("Label1")->text(), QStringLiteral("Available mma items"));
  QVERIFY(h.Find<QPlainTextEdit>("TntMemo1")->isHidden());
  QVERIFY(h.Find<QTreeView>("TreeView1")->model()->rowCount() == 0);
  QCOMPARE(h.Find<QGroupBox>("RadioGroup1")->title(), QStringLiteral("MMA save mode"));
  QVERIFY(!h.Find<QRadioButton>("RadioButton1")->isChecked());
  QVERIFY(h.Find<QRadioButton>("RadioButton2")->isChecked());
  QVERIFY(!h.Find<QCheckBox>("CheckBox1")->isChecked());
  QVERIFY(!h.Find<QCheckBox>("CheckBox2")->isEnabled());
  QVERIFY(!h.Find<QCheckBox>("CheckBox2")->isChecked());
  QCOMPARE(h.Find<QGroupBox>("RadioGroup2")->title(), QStringLiteral("Custom icon attribute"));
  QVERIFY(!h.Find<QGroupBox>("RadioGroup2")->isEnabled());
  QVERIFY(h.Find<QRadioButton>("RadioGroup2Item0C")->isChecked());
  QCOMPARE(w.PhonePanelText(), QStringLiteral("Phone: None "));
  QCOMPARE(Indicator(h), QColor(255, 0, 0));
  QVERIFY(h.prompts.shown.empty());  // no phone: silently

  // The shortcuts: Ctrl+S does nothing without a menu; Ctrl+N makes one, Ctrl+S saves it.
  w.activateWindow();
  QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
  QVERIFY(h.prompts.shown.empty());
  QTest::keyClick(&w, Qt::Key_N, Qt::ControlModifier);
  QCOMPARE(w.Editor().Tree().Count(), std::size_t(9));
  QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
  QCOMPARE(h.prompts.Texts("save"), std::vector<std::string>{"Save as"});
  QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
  QCOMPARE(h.prompts.Texts("open"), std::vector<std::string>{"Open"});
}

void MainWindowTest::enabledStateFollowsThePhoneAndTheMenu() {
  Workspace ws("enabled");
  Harness h(ws);
  ws.Unplug();
  h.Show();
  MainWindow& w = *h.window;
  PhoneController& phone = w.Phone();
  QCOMPARE(Enabled(h), QStringLiteral("-----"));
  ws.Plug();
  phone.Poll();  // connected, with an empty tree: no Save to phone
  QCOMPARE(Enabled(h), QStringLiteral("-O-R-"));
  QCOMPARE(Indicator(h), QColor(0, 255, 0));
  QCOMPARE(w.PhonePanelText(), QStringLiteral("Phone: E398  [R3443H1_G_0A.65.45R] "));
  ws.Unplug();
  phone.Poll();
  QCOMPARE(Enabled(h), QStringLiteral("-----"));
  QCOMPARE(w.PhonePanelText(), QStringLiteral("Phone: None "));
  ws.Plug();
  phone.Poll();
  QCOMPARE(Enabled(h), QStringLiteral("-O-R-"));  // still no menu

  w.FileNew1Execute();
  QCOMPARE(Enabled(h), QStringLiteral("SOPRK"));
  ws.Unplug();
  phone.Poll();
  QCOMPARE(Enabled(h), QStringLiteral("S---K"));
  h.prompts.files = {QString::fromStdString(Demo("menus/mma_ucp_22"))};
  w.FileOpen1Execute();
  QCOMPARE(Enabled(h), QStringLiteral("S---K"));
  ws.Plug();
  phone.Poll();
  QCOMPARE(Enabled(h), QStringLiteral("SOPRK"));

  w.PhoneOpenExecute();
  QCOMPARE(Enabled(h), QStringLiteral("SOPRK"));
  fs::remove(ws.PhoneFile("/a/mobile/system/mma_ucp"));
  w.PhoneOpenExecute();  // no menu on the phone: the tree stays empty, no saves
  QCOMPARE(Enabled(h), QStringLiteral("-O-RK"));
  QVERIFY(w.Editor().Tree().Empty());
  QCOMPARE(h.prompts.Texts().back(), std::string("Error opening mma_ucp"));
}

void MainWindowTest::openWithAProfileMismatchFallsBackToDefault() {
  Workspace ws("mismatch");
  Harness h(ws, false);
  h.Show();
  MainWindow& w = *h.window;
  auto* selector = h.Find<QComboBox>("ComboBox2");
  QCOMPARE(Items(selector), (QStringList{"Default", "Narrow", "R3443H1", "R364", "Create new..."}));
  w.ComboBox2Select(1);  // Narrow: softkey kinds only
  QCOMPARE(selector->currentText(), QStringLiteral("Narrow"));
  QCOMPARE(h.Find<QComboBox>("ComboBox1")->count(), 8);

  h.prompts.files = {QString::fromStdString(Demo("menus/mma_ucp_36"))};
  w.FileOpen1Execute();
  QCOMPARE(h.prompts.shown.size(), std::size_t(2));  // the file dialog, then the warning
  const Shown& warning = h.prompts.shown[1];
  QCOMPARE(
      warning.text,
      std::string("Selected profile doesn't match mma_ucp\r\n    Default profile will be applied"));
  QCOMPARE(warning.caption, std::string("Profile error"));
  QCOMPARE(warning.icon, MessageIcon::Warning);
  QCOMPARE(selector->currentText(), QStringLiteral("Default"));
  QCOMPARE(h.Find<QComboBox>("ComboBox1")->count(), 147);
  QCOMPARE(w.Editor().Tree().Count(), std::size_t(9 + 14));

  // With "Default" the same file reads in one pass, without a word.
  h.prompts.shown.clear();
  h.prompts.files = {QString::fromStdString(Demo("menus/mma_ucp_36"))};
  w.FileOpen1Execute();
  QCOMPARE(h.prompts.Texts().size(), std::size_t(0));
  // Cancelling the dialog leaves the menu as it was.
  w.FileOpen1Execute();
  QCOMPARE(w.Editor().Tree().Count(), std::size_t(9 + 14));
}

void MainWindowTest::openFailuresLeaveAnEmptyMenu() {
  Workspace ws("openfail");
  Harness h(ws, false);
  h.Show();
  MainWindow& w = *h.window;
  const std::string whole = Slurp(Demo("menus/mma_ucp_36"));
  Spit(ws.Dir() / "damaged", whole.substr(0, 300));
  Spit(ws.Dir() / "cut", whole.substr(0, 600));
  struct Case {
    fs::path file;
    std::string message;  // the start of what the box says
    MessageIcon icon;
    bool empty;
  } cases[] = {
      {ws.Dir() / "damaged",
       "Cannot open " + (ws.Dir() / "damaged").string() + ": mma_ucp is damaged",
       MessageIcon::Error, true},
      {ws.Dir() / "missing", "Cannot open " + (ws.Dir() / "missing").string() + ": No such file",
       MessageIcon::Error, true},
      {ws.Dir() / "cut", "mma_ucp ends inside its item records", MessageIcon::Warning, false},
  };
  for (const Case& c : cases) {
    w.FileNew1Execute();
    h.prompts.shown.clear();
    w.OpenPath(c.file);
    QCOMPARE(h.prompts.shown.size(), std::size_t(1));
    QCOMPARE(h.prompts.shown[0].text.substr(0, c.message.size()), c.message);
    QCOMPARE(h.prompts.shown[0].icon, c.icon);
    QCOMPARE(w.Editor().Tree().Empty(), c.empty);
    QCOMPARE(Enabled(h).at(0), QChar(c.empty ? '-' : 'S'));
  }
}

void MainWindowTest::optionRules() {
  Workspace ws("options");
  Harness h(ws, false);
  h.Show();
  auto* r22 = h.Find<QRadioButton>("RadioButton1");
  auto* r36 = h.Find<QRadioButton>("RadioButton2");
  auto* marker = h.Find<QGroupBox>("RadioGroup2");
  auto* m06 = h.Find<QRadioButton>("RadioGroup2Item06");
  auto* m0C = h.Find<QRadioButton>("RadioGroup2Item0C");
  auto* fix = h.Find<QCheckBox>("CheckBox2");
  const FormatOptions& o = h.window->Editor().Document().Options;

  r22->click();  // enables the marker and the fix; the marker stays "0C"
  QVERIFY(marker->isEnabled() && fix->isEnabled() && m0C->isChecked());
  QCOMPARE(o.recordLength, 22);
  m06->click();
  fix->click();
  QVERIFY(o.iconMarker == IconMarker::k06 && o.c698pFix);
  r36->click();  // back to "0C", the fix cleared; both disabled
  QVERIFY(!marker->isEnabled() && !fix->isEnabled() && m0C->isChecked() && !fix->isChecked());
  QVERIFY(o.recordLength == 36 && o.iconMarker == IconMarker::k0C && !o.c698pFix);
  h.Find<QCheckBox>("CheckBox1")->click();
  QVERIFY(o.saveAllData);

  // A file read sets the controls: the 22-byte demo menu with its fix.
  h.window->OpenPath(Demo("menus/mma_ucp_22"));
  QVERIFY(r22->isChecked() && marker->isEnabled() && fix->isEnabled());
  QCOMPARE(fix->isChecked(), h.window->Editor().Document().Options.c698pFix);
}

void MainWindowTest::statusAndSummary() {
  Workspace ws("summary");
  Harness h(ws, false);
  h.Show();
  MainWindow& w = *h.window;
  w.FileNew1Execute();
  QCOMPARE(w.FormatPanelText(), QStringLiteral("Format: 0-byte  Entries: 0"));
  auto* tree = h.Find<QTreeView>("TreeView1");
  auto* memo = h.Find<QPlainTextEdit>("TntMemo1");
  QCOMPARE(tree->currentIndex().data().toString(), QStringLiteral("Menu Root"));
  QVERIFY(memo->isHidden());

  w.OpenPath(Demo("menus/mma_ucp_36"));
  QCOMPARE(w.FormatPanelText(), QStringLiteral("Format: 36-byte  Entries: 14"));
  // Nodes are found by their text through the view's model.
  auto indexOf = [&](const QString& text) {
    const QModelIndexList found =
        tree->model()->match(tree->model()->index(0, 0), Qt::DisplayRole, text, 1,
                             Qt::MatchRecursive | Qt::MatchExactly);
    return found.isEmpty() ? QModelIndex() : found.front();
  };
  struct Case {
    QString node;
    QStringList lines;  // empty: hidden
  } cases[] = {
      {"Softkeys", {}},
      {"Menu Root", {}},
      {"PhoneBook", {"Item summary:", "", "[Not modified]"}},
      {"Smart: VoiceRecord", {"Item summary:", "", "Softkey name modified"}},
      {"~1",
       {"Item summary:", "", "Name in menu modified", "Icon(s) modified [source: file]",
        "URL attached"}},
      {"~2",
       {"Item summary:", "", "Name in menu modified", "Icon(s) modified [source: DRM]",
        "MIDlet attached"}},
      {"MF-Music [SC]", {"Item summary:", "", "Shortcut data"}},
  };
  for (const Case& c : cases) {
    const QModelIndex at = indexOf(c.node);
    QVERIFY2(at.isValid(), qPrintable(c.node));
    tree->setCurrentIndex(at);
    QCOMPARE(memo->isHidden(), c.lines.isEmpty());
    if (!c.lines.isEmpty()) QCOMPARE(memo->toPlainText(), c.lines.join('\n'));
  }
}

void MainWindowTest::saveAsWritesWhatTheCommandLineWrites() {
  Workspace ws("saveas");
  Harness h(ws, false);
  h.Show();
  for (const char* menu : {"menus/mma_ucp_36", "menus/mma_ucp_22"}) {
    h.window->OpenPath(Demo(menu));
    const fs::path out = ws.Dir() / "saved";
    h.prompts.files = {QString::fromStdString(out.string())};
    h.window->FileSave1Execute();
    const fs::path converted = ws.Dir() / "converted";
    const std::string cmd =
        std::string(TRELLUNE_CLI) + " convert " + Demo(menu) + " " + converted.string();
    QCOMPARE(std::system(cmd.c_str()), 0);
    QCOMPARE(Slurp(out), Slurp(converted));
  }
  QCOMPARE(h.prompts.shown.back().kind, std::string("save"));
  QCOMPARE(h.prompts.shown.back().caption, std::string("All Files (*)"));
}

void MainWindowTest::openFromPhone() {
  Workspace ws("phoneopen");
  Harness h(ws);
  h.Show();
  MainWindow& w = *h.window;
  // The phone's arrival applied the profile named after its firmware.
  QCOMPARE(h.Find<QComboBox>("ComboBox2")->currentText(), QStringLiteral("R3443H1"));
  QCOMPARE(h.Find<QComboBox>("ComboBox1")->count(), 26);
  w.PhoneOpenExecute();
  QVERIFY(h.prompts.Texts().empty());
  QCOMPARE(w.Editor().Tree().Count(), std::size_t(9 + 14));
  QVERIFY(w.MidletListLoaded());
  QCOMPARE(w.InstalledMidlets()[0]->SlotName, std::string("Snake"));
  QVERIFY(fs::exists(w.MenuTempFile()) && fs::exists(w.MidletTempFile()));
  QVERIFY(w.Phone().Session().PhoneIdle);
  QVERIFY(!w.Progress().isVisible());

  // A J2MEST of a size no layout has: the menu opens, the list is not loaded.
  Spit(ws.PhoneFile("/a/mobile/kjava/J2MEST"), std::string(100, 'x'));
  h.prompts.shown.clear();
  w.PhoneOpenExecute();
  QCOMPARE(h.prompts.Texts(), std::vector<std::string>{"Unsupported J2MEST format"});
  QCOMPARE(h.prompts.shown[0].caption, std::string("Error"));
  QVERIFY(!w.MidletListLoaded());
  QVERIFY(!w.Editor().Tree().Empty());
}

void MainWindowTest::phoneFailures() {
  Workspace ws("phonefail");
  {
    // A busy phone: the file count is retried 300 ms apart; then the menu opens.
    ws.Faults("File_CountEx 3\n");
    Harness h(ws);
    h.Show();
    h.window->PhoneOpenExecute();
    QCOMPARE(h.sleeper.pauses, (std::vector<int>{300, 300, 300}));
    QVERIFY(!h.window->Editor().Tree().Empty());
  }
  {
    // A read that fails: the message, an empty tree, no saves.
    ws.Faults("File_Read always\n");
    Harness h(ws);
    h.Show();
    h.window->FileNew1Execute();
    h.window->PhoneOpenExecute();
    QCOMPARE(h.prompts.Texts(), std::vector<std::string>{"Error reading mma_ucp"});
    QCOMPARE(h.prompts.shown[0].icon, MessageIcon::Error);
    QCOMPARE(h.prompts.shown[0].caption, std::string());
    QVERIFY(h.window->Editor().Tree().Empty());
    QCOMPARE(Enabled(h), QStringLiteral("-O-RK"));
  }
  {
    // Pulled out during a transfer: Restart Phone does nothing until the next transfer ends
    // with the phone connected.
    ws.Faults("");
    auto odd = std::make_unique<OddPhone>(ws.Phone());
    OddPhone* phone = odd.get();
    Harness h(ws, true, std::move(odd));
    h.Show();
    phone->afterList = [&] { ws.Unplug(); };
    h.window->PhoneOpenExecute();
    phone->afterList = nullptr;
    QVERIFY(!h.window->Phone().Session().PhoneConnected);
    QVERIFY(!h.window->Phone().Session().PhoneIdle);
    ws.Plug();
    h.window->Phone().Poll();
    h.window->PhoneRestartExecute();
    QVERIFY(!fs::exists(ws.Phone() / "restarts"));
    h.window->PhoneOpenExecute();
    h.window->PhoneRestartExecute();
    QCOMPARE(Slurp(ws.Phone() / "restarts"), std::string("1\n"));
  }
}

void MainWindowTest::saveToPhoneBacksUpAndChecks() {
  Workspace ws("phonesave");
  auto odd = std::make_unique<OddPhone>(ws.Phone());
  OddPhone* phone = odd.get();
  Harness h(ws, true, std::move(odd));
  h.Show();
  MainWindow& w = *h.window;
  const std::string before = Slurp(ws.PhoneFile("/a/mobile/system/mma_ucp"));
  w.OpenPath(Demo("menus/mma_ucp_36"));
  w.Editor().SelectRecordLength(22);
  w.PhoneSaveExecute();
  QVERIFY(h.prompts.Texts().empty());
  QVERIFY(w.Phone().Session().SavedToPhone);
  QCOMPARE(Slurp(ws.PhoneFile("/a/mobile/system/mma_ucp")), Slurp(w.MenuTempFile()));
  // The phone's menu as it was is kept in backups/.
  std::vector<fs::path> backups;
  for (const auto& e : fs::directory_iterator(ws.Dir() / "backups")) backups.push_back(e.path());
  QCOMPARE(backups.size(), std::size_t(1));
  QVERIFY(backups[0].filename().string().starts_with("mma_ucp-"));
  QCOMPARE(Slurp(backups[0]), before);

  // The next save keeps another backup; none is overwritten.
  w.PhoneSaveExecute();
  QCOMPARE(std::distance(fs::directory_iterator(ws.Dir() / "backups"), fs::directory_iterator()),
           std::ptrdiff_t(2));

  // What the phone holds afterwards differs from what was sent: an error, not a success.
  phone->garbleWrites = true;
  h.prompts.shown.clear();
  w.PhoneSaveExecute();
  QCOMPARE(h.prompts.Texts().size(), std::size_t(1));
  QVERIFY(
      h.prompts.Texts()[0].starts_with("The menu on the phone differs from what was sent; the "
                                       "previous menu is in backups/mma_ucp-"));
  QVERIFY(!w.Phone().Session().SavedToPhone);
  phone->garbleWrites = false;

  // A backup that cannot be written stops the save: nothing is sent.
  fs::remove_all(ws.Dir() / "backups");
  Spit(ws.Dir() / "backups", "a file where the folder should be");
  const std::string onPhone = Slurp(ws.PhoneFile("/a/mobile/system/mma_ucp"));
  w.Editor().SelectRecordLength(36);
  h.prompts.shown.clear();
  w.PhoneSaveExecute();
  QCOMPARE(h.prompts.Texts().size(), std::size_t(1));
  QVERIFY(h.prompts.Texts()[0].find("nothing was sent to the phone") != std::string::npos);
  QCOMPARE(Slurp(ws.PhoneFile("/a/mobile/system/mma_ucp")), onPhone);

  // A menu with a kind the profile does not know is refused by the writer: nothing is sent.
  fs::remove(ws.Dir() / "backups");
  h.window->ComboBox2Select(1);  // Narrow
  h.prompts.shown.clear();
  w.PhoneSaveExecute();
  QCOMPARE(h.prompts.Texts(), std::vector<std::string>{"mma_ucp doesn't match current profile"});
  QCOMPARE(h.prompts.shown[0].caption, std::string("Profile error"));
  QCOMPARE(Slurp(ws.PhoneFile("/a/mobile/system/mma_ucp")), onPhone);
}

void MainWindowTest::rebootQuestionOnClosing() {
  Workspace ws("reboot");
  const std::string question = "mma_ucp was stored to the phone\r\n      Should we reboot it?";
  {
    Harness h(ws);
    h.Show();
    h.window->PhoneOpenExecute();
    h.window->PhoneSaveExecute();
    QVERIFY(fs::exists(h.window->MenuTempFile()));
    h.prompts.answers = {true};
    h.window->close();
    QCOMPARE(h.prompts.Texts("ask"), std::vector<std::string>{question});
    QCOMPARE(h.prompts.shown.back().icon, MessageIcon::Question);
    QCOMPARE(h.prompts.shown.back().caption, std::string());
    QCOMPARE(Slurp(ws.Phone() / "restarts"), std::string("1\n"));
    QVERIFY(!fs::exists(h.window->MenuTempFile()) && !fs::exists(h.window->MidletTempFile()));
  }
  for (bool restartFirst : {true, false}) {
    Harness h(ws);
    h.Show();
    h.window->PhoneOpenExecute();
    h.window->PhoneSaveExecute();
    if (restartFirst) {
      h.window->PhoneRestartExecute();
    } else {
      ws.Unplug();
      h.window->Phone().Poll();
    }
    h.window->close();
    QVERIFY(h.prompts.Texts("ask").empty());
    if (!restartFirst) ws.Plug();
  }
}

void MainWindowTest::profileSelectorAndCreateNew() {
  Workspace ws("profiles");
  Harness h(ws, false);
  h.Show();
  MainWindow& w = *h.window;
  auto* selector = h.Find<QComboBox>("ComboBox2");
  const int createNew = selector->count() - 1;

  // A firmware image of the demo: the profile is written, listed once and loaded.
  h.prompts.files = {QString::fromStdString(Demo("firmware/R3443H1_demo.smg"))};
  w.ComboBox2Select(createNew);
  QCOMPARE(h.prompts.shown[0].kind, std::string("open"));
  QCOMPARE(h.prompts.shown[0].text, std::string("Select CG1 to create FW profile"));
  QCOMPARE(h.prompts.shown[0].caption, std::string("CG1 binaries (*.bin *.smg);;All files (*)"));
  QCOMPARE(h.prompts.Texts(), std::vector<std::string>{"Profile was successfully created"});
  QCOMPARE(h.prompts.shown.back().caption, std::string());
  QCOMPARE(h.prompts.shown.back().icon, MessageIcon::None);
  QCOMPARE(Items(selector), (QStringList{"Default", "Narrow", "R3443H1", "R364", "Create new..."}));
  QCOMPARE(selector->currentText(), QStringLiteral("R3443H1"));
  QCOMPARE(h.Find<QComboBox>("ComboBox1")->count(), 27);  // 2CLICK and the 25 kinds, Custom item
  QVERIFY(!w.Progress().isVisible());
  QCOMPARE(w.Progress().windowTitle(), QStringLiteral("Scanning CG1"));

  // An image without a version marker, and a cancelled dialog.
  Spit(ws.Dir() / "empty.bin", std::string(5000, 'x'));
  h.prompts.shown.clear();
  h.prompts.files = {QString::fromStdString((ws.Dir() / "empty.bin").string())};
  w.ComboBox2Select(createNew);
  QCOMPARE(h.prompts.Texts(), std::vector<std::string>{"Failed to create profile"});
  h.prompts.shown.clear();
  w.ComboBox2Select(createNew);
  QVERIFY(h.prompts.Texts().empty());

  // "Default", a profile deleted after the start, a profile with a problem.
  w.ComboBox2Select(0);
  QCOMPARE(h.Find<QComboBox>("ComboBox1")->count(), 147);
  fs::remove(ws.Dir() / "Profiles" / "R364.prf");
  h.prompts.shown.clear();
  w.ComboBox2Select(3);
  QCOMPARE(h.prompts.Texts(),
           std::vector<std::string>{"Profile not found. Default profile will be applied"});
  QCOMPARE(h.prompts.shown[0].caption, std::string("Missing profile"));
  QCOMPARE(selector->currentText(), QStringLiteral("Default"));
  Spit(ws.Dir() / "Profiles" / "Narrow.prf", "[mma_ucp format]\r\n22 0c 0\r\n[mma items]\r\n");
  h.prompts.shown.clear();
  w.ComboBox2Select(1);
  QCOMPARE(h.prompts.Texts(), std::vector<std::string>{"Invalid user icon marker (0C assumed)"});
  QCOMPARE(h.prompts.shown[0].caption, std::string("Profile error"));
  QCOMPARE(h.prompts.shown[0].icon, MessageIcon::Warning);
  QCOMPARE(selector->currentText(), QStringLiteral("Default"));
}

// Identification retries 500 ms apart when the phone is busy. The waits run the event loop,
// so the window repaints meanwhile; the wait here is armed with 0 ms, so nothing sleeps.
void MainWindowTest::phoneWaitsKeepTheWindowPainting() {
  Workspace ws("painting");
  ws.Faults("Seem_Read 3\n");
  class Painted : public QWidget {
   public:
    int paints = 0;

   protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
  };
  Painted probe;
  probe.show();
  QVERIFY(QTest::qWaitForWindowExposed(&probe));
  const int before = probe.paints;
  int waits = 0;
  EventLoopSleeper sleeper([&](int, std::function<void()> wake) {
    ++waits;
    probe.update();
    QTimer::singleShot(0, std::move(wake));
  });
  WindowSetup setup;
  setup.appDir = ws.Dir();
  setup.phone = std::make_unique<phone::VirtualPhone>(ws.Phone());
  ScriptedPrompts prompts;
  setup.prompts = &prompts;
  setup.sleeper = &sleeper;
  MainWindow w(std::move(setup));
  w.show();
  QCOMPARE(sleeper.Pauses(), (std::vector<int>{500, 500, 500}));
  QVERIFY(probe.paints >= before + waits);
  QCOMPARE(w.PhonePanelText(), QStringLiteral("Phone: E398  [R3443H1_G_0A.65.45R] "));
}

void MainWindowTest::droppedFileIsOpened() {
  Workspace ws("drop");
  Harness h(ws, false);
  h.Show();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(Demo("menus/mma_ucp_22")))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(h.window.get(), &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(h.window.get(), &drop);
  QCOMPARE(h.window->Editor().Tree().Count(), std::size_t(9 + 14));
  QCOMPARE(h.window->Editor().Document().Options.recordLength, 22);
}

// A long phone name, the format and "Modified" together: the window widens rather than cut
// or overlap them.
void MainWindowTest::statusPanelsShowTheirWholeText() {
  Workspace ws("panels");
  Harness h(ws);
  h.Show();
  MainWindow& w = *h.window;
  w.OpenPath(Demo("menus/mma_ucp_36"));
  h.Find<QCheckBox>("CheckBox1")->click();
  QCOMPARE(w.ModifiedPanelText(), QStringLiteral("Modified"));
  QVERIFY(w.PhonePanelText().size() > 30);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  QRect previous;
  for (const char* name : {"StatusBar1Panel0", "StatusBar1Panel2", "StatusBar1Panel1", "Shape1"}) {
    auto* panel = h.Find<QWidget>(name);
    if (auto* label = qobject_cast<QLabel*>(panel))
      QVERIFY2(
          label->contentsRect().width() >= label->fontMetrics().horizontalAdvance(label->text()),
          name);
    QVERIFY2(!panel->geometry().intersects(previous), name);
    QVERIFY2(panel->geometry().right() < panel->parentWidget()->width(), name);
    previous = panel->geometry();
  }
  QVERIFY(w.width() >= 462);
}

// A phone on the (simulated) USB cable that is still a modem: the window says so and offers
// the switch; after it the phone is connected and identified through the USB protocol.
void MainWindowTest::usbPhoneInModemModeIsSwitchedOnRequest() {
  Workspace ws("usbmodem");
  Spit(ws.Phone() / "usb-mode", "modem\n");
  static NoWait usbWaits;
  Harness h(ws, true,
            std::make_unique<phone::usb::UsbPhone>(
                std::make_unique<phone::usb::SimulatedPhoneDevice>(ws.Phone()), usbWaits));
  h.Show();
  MainWindow& w = *h.window;
  QAction* connect = h.Action("PhoneConnect");
  QVERIFY(connect);
  w.Phone().Poll();
  QVERIFY(connect->isVisible());
  QCOMPARE(w.PhonePanelText(), QStringLiteral("Phone: modem mode "));
  QCOMPARE(Indicator(h), QColor(255, 0, 0));

  connect->trigger();
  QVERIFY(!connect->isVisible());
  QCOMPARE(w.PhonePanelText(), QStringLiteral("Phone: E398  [R3443H1_G_0A.65.45R] "));
  QCOMPARE(Indicator(h), QColor(0, 255, 0));
  QVERIFY(h.prompts.shown.empty());
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
