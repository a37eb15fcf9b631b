// The undo history: every kind of step undone and redone exactly, a long run undone to the
// opened file's bytes, what clears the history, the "Modified" state and the close question.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QUndoStack>
#include <random>

#include "core/doc_checks.h"
#include "menu_tree_model.h"
#include "menu_tree_view.h"
#include "mma/menu_writer.h"
#include "ui/ui_fixture.h"

using namespace trellune;
using namespace trellune::ui;
using namespace trellune::ui::test;

namespace {

bool Same(const MenuDocument& a, const MenuDocument& b) {
  return trellune::test::SameDocument(a, b) && SerializeMenu(a).bytes == SerializeMenu(b).bytes;
}

struct UndoHarness : Harness {
  explicit UndoHarness(const Workspace& ws) : Harness(ws, false) {
    Show();
    window->OpenPath(Demo("menus/mma_ucp_36"));
    kinds = Find<QComboBox>("ComboBox1");
  }
  const MenuNode* Named(const std::string& text) {
    const MenuNode* found = nullptr;
    window->Editor().Tree().ForEach([&](MenuNode& n) {
      if (n.Text == text) found = &n;
    });
    return found;
  }
  void Select(const MenuNode* node) { window->SelectNode(node); }
  void Kind(const char* display) {
    kinds->setCurrentIndex(kinds->findText(QString::fromLatin1(display)));
  }
  QComboBox* kinds;
};

}  // namespace

class UndoTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void everyStepUndoesAndRedoes();
  void longRunUndoesToTheOpenedBytes();
  void historyIsClearedByNewOpenAndProfiles();
  void replacingAnUnsavedMenuAsks();
  void modifiedStateAndTheCloseQuestion();
};

void UndoTest::everyStepUndoesAndRedoes() {
  Workspace ws("undo_steps");
  UndoHarness h(ws);
  MainWindow& w = *h.window;
  h.prompts.answers = {true, true, true};
  h.prompts.onExec = [](QDialog& d) {
    d.findChild<QLineEdit*>(QStringLiteral("Url"))->setText(QStringLiteral("http://z"));
    d.findChild<QComboBox*>(QStringLiteral("ItemFunction"))->activated(1);
    d.findChild<QLineEdit*>(QStringLiteral("Url"))->setText(QStringLiteral("http://z"));
    d.findChild<QPushButton*>(QStringLiteral("OK"))->click();
    return d.result();
  };
  struct Case {
    const char* caption;
    std::function<void()> edit;
  } cases[] = {
      {"Add subitem",
       [&] {
         h.Select(h.Named("Games"));
         h.Kind("Radio");
         h.Action("AddChild1")->trigger();
       }},
      {"Add item",
       [&] {
         h.Select(h.Named("Settings"));
         h.Kind("Radio");
         h.Action("AddItem1")->trigger();
       }},
      {"Add subitem",
       [&] {  // a custom item, its dialog cancelled
         const auto ok = h.prompts.onExec;
         h.prompts.onExec = nullptr;
         h.Select(w.Editor().Tree().MenuRoot());
         h.Kind("Custom item");
         h.Action("AddFirst1")->trigger();
         h.prompts.onExec = ok;
       }},
      {"Replace",
       [&] {
         h.Select(h.Named("Settings"));
         h.Kind("MF-Music [SC]");
         h.Action("Replace1")->trigger();
       }},
      {"Modify item", [&] { w.ModifyItem(h.Named("Message")); }},
      {"Delete item",
       [&] {
         h.Select(h.Named("WebAccess"));
         h.Action("Deleteitem1")->trigger();
       }},
      {"Move up",
       [&] {
         h.Select(h.Named("Tools"));
         h.Action("Moveup1")->trigger();
       }},
      {"Move down",
       [&] {
         h.Select(h.Named("PhoneBook"));
         h.Action("Movedown1")->trigger();
       }},
      {"22-byte", [&] { h.Find<QRadioButton>("RadioButton1")->click(); }},
      {"Custom icon attribute", [&] { h.Find<QRadioButton>("RadioGroup2Item06")->click(); }},
      {"c698p mma_ucp fix", [&] { h.Find<QCheckBox>("CheckBox2")->click(); }},
      {"Save all data", [&] { h.Find<QCheckBox>("CheckBox1")->click(); }},
      {"36-byte", [&] { h.Find<QRadioButton>("RadioButton2")->click(); }},
  };
  QUndoStack& history = w.History();
  for (const Case& c : cases) {
    const MenuDocument before = w.Editor().Document();
    c.edit();
    const MenuDocument after = w.Editor().Document();
    QVERIFY2(!Same(before, after), c.caption);
    QCOMPARE(history.undoText(), QString::fromLatin1(c.caption));
    QCOMPARE(w.findChild<QAction*>(QStringLiteral("EditUndo1"))->text(),
             QStringLiteral("&Undo ") + QString::fromLatin1(c.caption));
    history.undo();
    QVERIFY2(Same(w.Editor().Document(), before), c.caption);
    history.redo();
    QVERIFY2(Same(w.Editor().Document(), after), c.caption);
  }
  // Undoing the creation of a custom item gives its number back.
  h.Select(w.Editor().Tree().MenuRoot());
  h.Kind("Custom item");
  h.Action("AddFirst1")->trigger();
  const std::string name = w.Editor().Tree().NodeAt(9)->Item.Name;
  history.undo();  // the dialog's OK
  history.undo();  // the add
  h.Select(w.Editor().Tree().MenuRoot());
  h.Action("AddFirst1")->trigger();
  QCOMPARE(w.Editor().Tree().NodeAt(9)->Item.Name, name);
  // The shortcuts reach the history too.
  w.activateWindow();
  const int index = history.index();
  QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
  QCOMPARE(history.index(), index - 1);
  QTest::keyClick(&w, Qt::Key_Y, Qt::ControlModifier);
  QCOMPARE(history.index(), index);
  QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
  QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(history.index(), index);
}

void UndoTest::longRunUndoesToTheOpenedBytes() {
  Workspace ws("undo_run");
  UndoHarness h(ws);
  MainWindow& w = *h.window;
  const std::vector<std::uint8_t> opened = SerializeMenu(w.Editor().Document()).bytes;
  h.prompts.onExec = [](QDialog& d) {
    d.findChild<QPushButton*>(QStringLiteral("OK"))->click();
    return d.result();
  };
  std::mt19937 rng(3);
  auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng)); };
  const char* commands[] = {"AddFirst1", "AddChild1",   "AddFirst2", "AddItem1",
                            "Replace1",  "Deleteitem1", "Moveup1",   "Movedown1"};
  for (int step = 0; step < 150; ++step) {
    h.Select(w.Editor().Tree().NodeAt(std::size_t(pick(int(w.Editor().Tree().Count())))));
    h.kinds->setCurrentIndex(pick(h.kinds->count()));
    h.prompts.answers = {true};
    const char* command = commands[pick(8)];
    w.PopupMenu1Popup();
    w.PopupMenu2Popup();
    if (h.Action(command)->isEnabled()) h.Action(command)->trigger();
    if (pick(10) == 0) h.Find<QRadioButton>(pick(2) ? "RadioButton1" : "RadioButton2")->click();
  }
  const std::vector<std::uint8_t> final = SerializeMenu(w.Editor().Document()).bytes;
  QUndoStack& history = w.History();
  QVERIFY(history.count() > 50);
  while (history.canUndo()) history.undo();
  QVERIFY(SerializeMenu(w.Editor().Document()).bytes == opened);
  QVERIFY(history.isClean());
  while (history.canRedo()) history.redo();
  QVERIFY(SerializeMenu(w.Editor().Document()).bytes == final);
}

void UndoTest::historyIsClearedByNewOpenAndProfiles() {
  Workspace ws("undo_clear");
  Harness h(ws);
  h.Show();
  MainWindow& w = *h.window;
  auto edit = [&] {
    w.SelectNode(w.Editor().Tree().MenuRoot());
    h.Action("AddFirst1")->trigger();
    QVERIFY(w.History().canUndo());
  };
  // A new menu replaces the edited one (its changes discarded when asked); a profile keeps
  // the menu, so its changes stay unsaved though their steps are gone.
  const std::tuple<const char*, std::function<void()>, bool> clearing[] = {
      {"New", [&] { w.FileNew1Execute(); }, false},
      {"Open", [&] { w.OpenPath(Demo("menus/mma_ucp_22")); }, false},
      {"Open from phone", [&] { w.PhoneOpenExecute(); }, false},
      {"a profile", [&] { w.ComboBox2Select(0); }, true},
      {"a phone's profile",
       [&] {
         ws.Unplug();
         w.Phone().Poll();
         ws.Plug();
         w.Phone().Poll();
       },
       true},
  };
  w.FileNew1Execute();
  for (const auto& [what, clear, stillModified] : clearing) {
    edit();
    h.prompts.choices = {1};  // Discard, where a menu is replaced
    clear();
    QVERIFY2(!w.History().canUndo(), what);
    QVERIFY2(w.History().isClean(), what);
    QVERIFY2(w.IsModified() == stillModified, what);
    QCOMPARE(w.ModifiedPanelText().isEmpty(), !stillModified);
    h.prompts.files = {QString::fromStdString((ws.Dir() / "saved").string())};
    const std::size_t shown = h.prompts.Texts().size();
    w.FileSave1Execute();
    // Saved, it is no longer modified; refused (the new profile lacks a kind), it still is.
    QVERIFY2(w.IsModified() == (h.prompts.Texts().size() > shown), what);
  }
  // Choosing "Create new..." and giving no firmware changes nothing, not even the history.
  edit();
  w.ComboBox2Select(h.Find<QComboBox>("ComboBox2")->count() - 1);
  QVERIFY(w.History().canUndo());
}

// New, Open and Open from phone ask before a menu with unsaved changes goes.
void UndoTest::replacingAnUnsavedMenuAsks() {
  Workspace ws("undo_replace");
  UndoHarness h(ws);
  MainWindow& w = *h.window;
  w.FileNew1Execute();  // nothing unsaved: no question
  QVERIFY(h.prompts.Texts("choose").empty());
  w.OpenPath(Demo("menus/mma_ucp_36"));
  const std::size_t items = w.Editor().Tree().Count();
  auto edit = [&] { h.Find<QCheckBox>("CheckBox1")->click(); };

  edit();
  h.prompts.choices = {2};  // Cancel
  w.FileNew1Execute();
  QCOMPARE(h.prompts.Texts("choose"),
           std::vector<std::string>{"The menu has unsaved changes. Save them first?"});
  QCOMPARE(h.prompts.shown.back().caption, std::string("Save|Discard|Cancel"));
  QCOMPARE(w.Editor().Tree().Count(), items);
  QVERIFY(w.IsModified());

  h.prompts.choices = {0};  // Save, then the save dialog is cancelled: the menu stays
  w.FileOpen1Execute();
  QCOMPARE(w.Editor().Tree().Count(), items);
  QVERIFY(h.prompts.Texts("open").empty());

  const fs::path saved = ws.Dir() / "kept";
  h.prompts.choices = {0};  // Save to a file, then Open goes on
  h.prompts.files = {QString::fromStdString(saved.string()),
                     QString::fromStdString(Demo("menus/mma_ucp_22"))};
  w.FileOpen1Execute();
  QVERIFY(fs::exists(saved));
  QCOMPARE(w.Editor().Document().Options.recordLength, 22);
  QVERIFY(!w.IsModified());

  edit();
  h.prompts.choices = {1};  // Discard
  w.FileNew1Execute();
  QCOMPARE(w.Editor().Tree().Count(), std::size_t(9));
}

void UndoTest::modifiedStateAndTheCloseQuestion() {
  Workspace ws("undo_modified");
  UndoHarness h(ws);
  MainWindow& w = *h.window;
  QCOMPARE(w.ModifiedPanelText(), QString());
  h.Find<QCheckBox>("CheckBox1")->click();
  QCOMPARE(w.ModifiedPanelText(), QStringLiteral("Modified"));
  h.prompts.files = {QString::fromStdString((ws.Dir() / "saved").string())};
  w.FileSave1Execute();
  QCOMPARE(w.ModifiedPanelText(), QString());
  w.History().undo();  // past the save point
  QCOMPARE(w.ModifiedPanelText(), QStringLiteral("Modified"));
  w.History().redo();
  QCOMPARE(w.ModifiedPanelText(), QString());
  QCOMPARE(w.windowTitle(), QStringLiteral("Trellune v.0.21 [fix]"));

  // Closing with unsaved changes asks; Save runs "Save as", Discard closes as it is.
  h.Find<QCheckBox>("CheckBox1")->click();
  h.prompts.choices = {0};
  h.prompts.files = {QString::fromStdString((ws.Dir() / "on-close").string())};
  w.close();
  QCOMPARE(h.prompts.Texts("choose"),
           std::vector<std::string>{"The menu has unsaved changes. Save them before closing?"});
  QCOMPARE(h.prompts.shown[h.prompts.shown.size() - 2].caption, std::string("Save|Discard"));
  QVERIFY(fs::exists(ws.Dir() / "on-close"));

  UndoHarness clean(ws);
  clean.window->close();
  QVERIFY(clean.prompts.Texts("choose").empty());
}

QTEST_MAIN(UndoTest)
#include "undo_test.moc"
