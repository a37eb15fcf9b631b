// Tree editing in the window: the two pop-up menus and their rules, the commands, the
// keyboard, drag and drop, and a long run of edits that saves and opens back whole.
#include <QApplication>
#include <QComboBox>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>
#include <random>

#include "core/doc_checks.h"
#include "menu_tree_model.h"
#include "menu_tree_view.h"
#include "mma/menu_reader.h"
#include "ui/ui_fixture.h"

using namespace trellune;
using namespace trellune::ui;
using namespace trellune::ui::test;

namespace {

// Softkeys [0], softkeys [1..7], Menu Root [8]: A [9] folder of A1 [10], A2 [11], A3 [12];
// B [13], which takes no subitems; C [14].
const char* const kFixture = R"({
  "softkeys": {"name": "Container", "items": [
    {"name": "PhoneBook"}, {"name": "Message"}, {"name": "RecentCall"}, {"name": "Mutilmedia"},
    {"name": "AlarmClock"}, {"name": "MMRingStyle"}, {"name": "VoiceRecord"}]},
  "menuRoot": {"name": "MenuRoot", "items": [
    {"name": "Games", "itemType": 1,
     "items": [{"name": "Camera"}, {"name": "Video", "data": [{"type": "UrlLink", "text": "v"}]},
               {"name": "Radio"}]},
    {"name": "Tools", "allowSubitems": 0},
    {"name": "Settings"}]}})";

struct EditHarness : Harness {
  explicit EditHarness(const Workspace& ws) : Harness(ws, false) {
    Show();
    window->FileNew1Execute();
    window->Editor().ImportJson(Json::parse(kFixture));
    tree = Find<MenuTreeView>("TreeView1");
    model = static_cast<MenuTreeModel*>(tree->model());
    kinds = Find<QComboBox>("ComboBox1");
    for (const auto& top : window->Editor().Tree().TopNodes())
      tree->expand(model->IndexOf(top.get()));
  }
  const MenuNode* At(std::size_t position) const {
    return window->Editor().Tree().NodeAt(position);
  }
  void Select(const MenuNode* node) { window->SelectNode(node); }
  void Kind(const char* display) {
    kinds->setCurrentIndex(kinds->findText(QString::fromLatin1(display)));
  }
  // The enabled entries of both pop-up menus as they open on a node: "SIRMDUW" or "-".
  QString Rules(const MenuNode* node) {
    Select(node);
    window->PopupMenu1Popup();
    window->PopupMenu2Popup();
    QString s;
    for (const char* name :
         {"AddFirst1", "AddFirst2", "Replace1", "MenuItem1", "Deleteitem1", "Moveup1", "Movedown1"})
      s += Action(name)->isEnabled() ? QChar(name[0]) : QChar('-');
    return s;
  }
  void Drag(const QMimeData& data, const MenuNode* target, bool drop, bool* accepted) {
    const QPoint at = tree->visualRect(model->IndexOf(target)).center();
    // A drag enters first: Qt sends the moves and the drop to the widget that took it.
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(tree->viewport(), &enter);
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(tree->viewport(), &move);
    *accepted = move.isAccepted();
    if (!drop) return;
    QDropEvent dropped(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(tree->viewport(), &dropped);
  }
  // Presses on a node and moves the pointer as a user starts a drag; the data the view would
  // hand to Qt's drag loop, or nothing when no drag started.
  std::unique_ptr<QMimeData> MouseDrag(const MenuNode* node) {
    std::unique_ptr<QMimeData> taken;
    tree->SetDragRunner([&](QDrag& drag) {
      auto* copy = new QMimeData;
      for (const QString& format : drag.mimeData()->formats())
        copy->setData(format, drag.mimeData()->data(format));
      taken.reset(copy);
    });
    const QPoint from = tree->visualRect(model->IndexOf(node)).center();
    QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, from);
    for (int step = 1; step <= 4; ++step) {
      const QPoint to = from + QPoint(0, step * QApplication::startDragDistance());
      QMouseEvent move(QEvent::MouseMove, to, tree->viewport()->mapToGlobal(to), Qt::NoButton,
                       Qt::LeftButton, {});
      QCoreApplication::sendEvent(tree->viewport(), &move);
    }
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, from);
    tree->SetDragRunner(nullptr);
    return taken;
  }
  QMimeData* NodeDrag(const MenuNode* node) {
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kNodeMime),
                  QByteArray::number(qulonglong(window->Editor().Tree().PositionOf(node))));
    return data;
  }
  MenuTreeView* tree;
  MenuTreeModel* model;
  QComboBox* kinds;
};

}  // namespace

class TreeEditingTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void menusFollowTheRules();
  void addReplaceDeleteMove();
  void customItemsAndShortcuts();
  void keyboard();
  void dragAndDrop();
  void longRunSavesAndOpensBack();
};

void TreeEditingTest::menusFollowTheRules() {
  Workspace ws("rules");
  EditHarness h(ws);
  h.window->show();
  struct Row {
    std::size_t position;
    const char* rules;
  } rows[] = {
      {0, "-------"},  {1, "--RM---"},  {8, "A------"},  {9, "AARMD-M"},  {10, "AARMD-M"},
      {11, "AARMDMM"}, {12, "AARMDM-"}, {13, "-ARMDMM"}, {14, "AARMDM-"},
  };
  for (const Row& r : rows) QCOMPARE(h.Rules(h.At(r.position)), QString::fromLatin1(r.rules));
  // Nothing opens without a selected node.
  h.tree->setCurrentIndex({});
  h.window->ComboBox1Click(0);
  QVERIFY(!h.window->PopupMenu1()->isVisible());
  h.window->PopupMenu1Popup();
  QVERIFY(!h.Action("AddFirst1")->isEnabled() && !h.Action("Replace1")->isEnabled());
  Q_EMIT h.tree->customContextMenuRequested(QPoint(5, 5));
  QVERIFY(!h.window->PopupMenu2()->isVisible());
  // With a node, a click in the list opens PopupMenu1 below the list.
  h.Select(h.At(9));
  h.window->ComboBox1Click(0);
  QVERIFY(h.window->PopupMenu1()->isVisible());
  h.window->PopupMenu1()->hide();
}

void TreeEditingTest::addReplaceDeleteMove() {
  Workspace ws("commands");
  EditHarness h(ws);
  MainWindow& w = *h.window;
  const MenuNode* a = h.At(9);
  const MenuNode* a2 = h.At(11);
  h.Kind("Calculator");
  // "Add subitem" > "Add First" on A: records renumber, data follows its item.
  h.Select(a);
  h.Action("AddFirst1")->trigger();
  QCOMPARE(QString::fromStdString(a->Children[0]->Text), QStringLiteral("Calculator"));
  QVERIFY(h.tree->isExpanded(h.model->IndexOf(a)));
  QCOMPARE(trellune::test::NumberingProblem(w.Editor().Document()), std::string());
  QCOMPARE(w.Editor().Document().ItemData[a2->Item.Id]->Entries.at(0).Text, std::string("v"));
  // "Add item" > "Add Before" on C.
  const MenuNode* c = h.At(15);
  h.Select(c);
  h.Action("AddItem1")->trigger();
  QCOMPARE(w.Editor().Tree().IndexOf(c), std::size_t(3));
  // "Replace" on a softkey keeps its prefix.
  h.Select(h.At(2));
  h.Kind("WebAccess");
  h.Action("Replace1")->trigger();
  QCOMPARE(h.At(2)->Text, std::string("RSK: WebAccess"));
  // "Move down" on the second-to-last makes it last; then it cannot move down.
  h.Select(a2);
  h.Action("Movedown1")->trigger();
  QCOMPARE(w.Editor().Tree().IndexOf(a2), std::size_t(3));
  QCOMPARE(w.Editor().Document().ItemData[a2->Item.Id]->Entries.at(0).Text, std::string("v"));
  h.window->PopupMenu2Popup();
  QVERIFY(!h.Action("Movedown1")->isEnabled());
  QCOMPARE(h.model->NodeOf(h.tree->currentIndex()), a2);  // the selection stays on the item
  // "Delete item": the question; No keeps the folder, Yes removes it with its data.
  h.Select(a);
  h.prompts.answers = {false};
  h.Action("Deleteitem1")->trigger();
  QCOMPARE(h.prompts.shown.back().text,
           std::string("The item and all its subitems will be deleted\r\n           Continue?"));
  QCOMPARE(h.prompts.shown.back().caption, std::string("Warning"));
  QCOMPARE(h.prompts.shown.back().icon, MessageIcon::Warning);
  QVERIFY(w.Editor().Tree().Contains(a));
  h.prompts.answers = {true};
  h.Action("Deleteitem1")->trigger();
  QVERIFY(!w.Editor().Tree().Contains(a));
  for (int id = 10; id < 256; ++id) QVERIFY(!w.Editor().Document().ItemData.Slots[std::size_t(id)]);
  QCOMPARE(trellune::test::NumberingProblem(w.Editor().Document()), std::string());
  QCOMPARE(w.FormatPanelText(), QStringLiteral("Format: 36-byte  Entries: 3"));
}

void TreeEditingTest::customItemsAndShortcuts() {
  Workspace ws("custom");
  EditHarness h(ws);
  MainWindow& w = *h.window;
  h.Kind("Custom item");
  h.prompts.onExec = [](QDialog& d) {
    d.findChild<QPushButton*>(QStringLiteral("OK"))->click();
    return d.result();
  };
  h.Select(w.Editor().Tree().MenuRoot());
  h.Action("AddChild1")->trigger();
  h.Select(w.Editor().Tree().MenuRoot());
  h.Action("AddChild1")->trigger();
  // Each new custom item opens its properties at once, on the new node.
  const std::vector<std::string> dialogs{"TForm3", "TForm3"};
  QCOMPARE(h.prompts.Texts("exec"), dialogs);
  QCOMPARE(h.model->NodeOf(h.tree->currentIndex())->Item.Name, std::string("~2"));
  w.FileNew1Execute();  // New does not restart the numbering
  h.Select(w.Editor().Tree().MenuRoot());
  h.Action("AddFirst1")->trigger();
  QCOMPARE(w.Editor().Tree().NodeAt(9)->Item.Name, std::string("~3"));
  QCOMPARE(w.Editor().Tree().NodeAt(9)->Item.Flags, std::uint8_t(0x18));

  // A shortcut kind carries its shortcut data, and the summary says so.
  h.Kind("MF-Music [SC]");
  h.Select(w.Editor().Tree().NodeAt(9));
  h.Action("AddFirst2")->trigger();
  h.Select(w.Editor().Tree().NodeAt(9));
  QCOMPARE(w.Editor().Tree().NodeAt(9)->Text, std::string("MF-Music [SC]"));
  QCOMPARE(h.Find<QPlainTextEdit>("TntMemo1")->toPlainText(),
           QStringLiteral("Item summary:\n\nShortcut data"));
}

void TreeEditingTest::keyboard() {
  Workspace ws("keys");
  EditHarness h(ws);
  h.window->show();
  QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
  const MenuNode* a1 = h.At(10);
  h.Select(a1);
  h.tree->setFocus();
  QTest::keyClick(h.tree, Qt::Key_Down, Qt::ControlModifier);
  QCOMPARE(h.window->Editor().Tree().IndexOf(a1), std::size_t(1));
  QTest::keyClick(h.tree, Qt::Key_Up, Qt::ControlModifier);
  QCOMPARE(h.window->Editor().Tree().IndexOf(a1), std::size_t(0));
  QTest::keyClick(h.tree, Qt::Key_Up, Qt::ControlModifier);  // the first: nothing
  QCOMPARE(h.window->Editor().Tree().IndexOf(a1), std::size_t(0));
  QTest::keyClick(h.tree, Qt::Key_F2);
  QCOMPARE(h.prompts.Texts("exec"), std::vector<std::string>{"TForm3"});
  h.prompts.answers = {true};
  QTest::keyClick(h.tree, Qt::Key_Delete);
  QVERIFY(!h.window->Editor().Tree().Contains(a1));
  // On a softkey the same keys do nothing: the rules are the menus' rules.
  h.Select(h.At(3));
  h.tree->setFocus();
  const std::size_t count = h.window->Editor().Tree().Count();
  QTest::keyClick(h.tree, Qt::Key_Delete);
  QTest::keyClick(h.tree, Qt::Key_Down, Qt::ControlModifier);
  QCOMPARE(h.window->Editor().Tree().Count(), count);
  QCOMPARE(h.prompts.Texts("ask").size(), std::size_t(1));
}

void TreeEditingTest::dragAndDrop() {
  Workspace ws("drag");
  EditHarness h(ws);
  h.window->show();
  QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
  MainWindow& w = *h.window;
  const MenuNode* a = h.At(9);
  const MenuNode* c = h.At(14);
  bool accepted = false;
  // Refusals: onto the fixed nodes, a softkey dragged, another program's data.
  std::unique_ptr<QMimeData> kind(
      KindDragData(h.kinds->findText(QStringLiteral("Radio")), "Radio"));
  for (std::size_t target : {0u, 3u, 8u}) {
    h.Drag(*kind, h.At(target), false, &accepted);
    QVERIFY(!accepted);
  }
  // With the mouse, a softkey or a fixed node does not even start a drag.
  for (std::size_t fixed : {0u, 2u, 8u}) QVERIFY(!h.MouseDrag(h.At(fixed)));
  std::unique_ptr<QMimeData> softkey(h.NodeDrag(h.At(2)));
  h.Drag(*softkey, c, false, &accepted);
  QVERIFY(!accepted);
  QMimeData text;
  text.setText(QStringLiteral("PhoneBook"));
  h.Drag(text, c, false, &accepted);
  QVERIFY(!accepted);
  // A folder into its own subitems is refused.
  h.tree->expand(h.model->IndexOf(a));
  std::unique_ptr<QMimeData> folder(h.NodeDrag(a));
  h.Drag(*folder, a->Children[1].get(), false, &accepted);
  QVERIFY(!accepted);

  // Hovering a closed folder opens it; after a drop elsewhere it closes again.
  h.tree->collapse(h.model->IndexOf(a));
  std::unique_ptr<QMimeData> moving = h.MouseDrag(c);  // a main item drags
  QVERIFY(moving);
  h.Drag(*moving, a, false, &accepted);
  QVERIFY(accepted);
  QVERIFY(h.tree->isExpanded(h.model->IndexOf(a)));
  h.Drag(*moving, h.At(h.window->Editor().Tree().PositionOf(a) + 4), true, &accepted);  // onto B
  QVERIFY(!h.tree->isExpanded(h.model->IndexOf(a)));
  QCOMPARE(w.Editor().Tree().IndexOf(c), std::size_t(1));  // before B
  // Dropped into the folder hovered open, it stays open.
  h.tree->collapse(h.model->IndexOf(a));
  h.Drag(*kind, a, false, &accepted);
  h.Drag(*kind, a->Children[2].get(), true, &accepted);
  QVERIFY(h.tree->isExpanded(h.model->IndexOf(a)));
  QCOMPARE(a->Children[2]->Text, std::string("Radio"));
  QCOMPARE(h.model->NodeOf(h.tree->currentIndex()), a->Children[2].get());  // selected
  QVERIFY(h.tree->DragExpandedNodes().empty());
  QCOMPARE(trellune::test::NumberingProblem(w.Editor().Document()), std::string());
}

// Edits at random through the window's own commands; then Save as, Open gives back the same
// tree and data, and the command line reads the file.
void TreeEditingTest::longRunSavesAndOpensBack() {
  Workspace ws("longrun");
  EditHarness h(ws);
  MainWindow& w = *h.window;
  h.prompts.onExec = [](QDialog& d) {
    d.findChild<QPushButton*>(QStringLiteral("OK"))->click();
    return d.result();
  };
  std::mt19937 rng(11);
  auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng)); };
  const char* commands[] = {"AddFirst1", "AddChild1",   "AddFirst2", "AddItem1",
                            "Replace1",  "Deleteitem1", "Moveup1",   "Movedown1"};
  for (int step = 0; step < 600; ++step) {
    h.Select(w.Editor().Tree().NodeAt(std::size_t(pick(int(w.Editor().Tree().Count())))));
    h.kinds->setCurrentIndex(pick(h.kinds->count() - 1));  // no "Custom item"
    if (pick(20) == 0) h.kinds->setCurrentIndex(h.kinds->count() - 1);
    h.prompts.answers = {true};
    const char* command = commands[pick(8)];
    w.PopupMenu1Popup();
    w.PopupMenu2Popup();
    if (h.Action(command)->isEnabled()) h.Action(command)->trigger();
    QCOMPARE(trellune::test::NumberingProblem(w.Editor().Document()), std::string());
  }
  QVERIFY(w.Editor().Tree().Count() > 30);
  const fs::path saved = ws.Dir() / "edited";
  h.prompts.files = {QString::fromStdString(saved.string())};
  w.FileSave1Execute();
  const MenuDocument edited = w.Editor().Document();
  w.OpenPath(saved);
  const MenuDocument& back = w.Editor().Document();
  QCOMPARE(back.Tree.Count(), edited.Tree.Count());
  for (std::size_t p = 0; p < edited.Tree.Count(); ++p) {
    QCOMPARE(back.Tree.NodeAt(p)->Text, edited.Tree.NodeAt(p)->Text);
    QCOMPARE(back.Tree.NodeAt(p)->Item.Id, edited.Tree.NodeAt(p)->Item.Id);
  }
  QVERIFY(back.ItemData.Slots == edited.ItemData.Slots);
  const std::string cmd = std::string(TRELLUNE_CLI) + " export " + saved.string() + " >/dev/null";
  QCOMPARE(std::system(cmd.c_str()), 0);
}

QTEST_MAIN(TreeEditingTest)
#include "tree_editing_test.moc"
