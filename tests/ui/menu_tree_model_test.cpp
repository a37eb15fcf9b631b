// The tree model over the editing layer: Qt's model tester checks every signal it emits
// while the menu is edited at random, and a view keeps its expanded folders across edits.
#include "menu_tree_model.h"

#include <QAbstractItemModelTester>
#include <QTest>
#include <QTreeView>
#include <random>

using namespace trellune;
using namespace trellune::ui;

class MenuTreeModelTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void signalsDescribeEveryEdit();
  void expandedFoldersSurviveEdits();
};

void MenuTreeModelTest::signalsDescribeEveryEdit() {
  MenuEditor editor;
  MenuTreeModel model(editor);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
  editor.NewMenu();
  std::mt19937 rng(7);
  auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng)); };
  auto node = [&] { return editor.Tree().NodeAt(std::size_t(pick(int(editor.Tree().Count())))); };
  const int games = editor.Document().Kinds.FindKindIndex("Games");
  for (int step = 0; step < 1500; ++step) {
    switch (pick(6)) {
      case 0:
      case 1:
        editor.Add(node(), AddPlacement(pick(4)), games);
        break;
      case 2:
        editor.Delete(node());
        break;
      case 3:
        editor.MoveUp(node());
        break;
      case 4:
        editor.MoveDown(node());
        break;
      default:
        editor.DropNode(node(), node());
        break;
    }
    if (QTest::currentTestFailed()) QFAIL(qPrintable(QStringLiteral("step %1").arg(step)));
  }
  // Every node the model shows is the tree's, in the tree's order.
  std::size_t shown = 0;
  std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
    for (int r = 0; r < model.rowCount(parent); ++r) {
      const QModelIndex at = model.index(r, 0, parent);
      QCOMPARE(model.NodeOf(at), editor.Tree().NodeAt(shown));
      ++shown;
      walk(at);
    }
  };
  walk({});
  QCOMPARE(shown, editor.Tree().Count());
}

void MenuTreeModelTest::expandedFoldersSurviveEdits() {
  MenuEditor editor;
  MenuTreeModel model(editor);
  QTreeView view;
  view.setModel(&model);
  editor.NewMenu();
  const MenuNode* root = editor.Tree().MenuRoot();
  const int games = editor.Document().Kinds.FindKindIndex("Games");
  const MenuNode* a = editor.Add(root, AddPlacement::SubitemLast, games).node;
  const MenuNode* b = editor.Add(root, AddPlacement::SubitemLast, games).node;
  editor.Add(a, AddPlacement::SubitemLast, games);
  editor.Add(b, AddPlacement::SubitemLast, games);
  view.expand(model.IndexOf(root));
  view.expand(model.IndexOf(a));
  view.setCurrentIndex(model.IndexOf(b));
  editor.MoveUp(b);
  editor.Add(root, AddPlacement::SubitemFirst, games);
  editor.Delete(editor.Tree().NodeAt(editor.Tree().Count() - 1));
  QVERIFY(view.isExpanded(model.IndexOf(root)));
  QVERIFY(view.isExpanded(model.IndexOf(a)));
  QVERIFY(!view.isExpanded(model.IndexOf(b)));
  QCOMPARE(model.NodeOf(view.currentIndex()), b);
}

QTEST_MAIN(MenuTreeModelTest)
#include "menu_tree_model_test.moc"
