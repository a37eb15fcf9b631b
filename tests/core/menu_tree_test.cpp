#include "mma/menu_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace trellune {
namespace {

TMMAItem Named(const std::string& name) {
  TMMAItem item;
  item.Name = name;
  return item;
}

std::vector<std::string> Texts(const MenuTree& tree) {
  std::vector<std::string> texts;
  tree.ForEach([&](MenuNode& n) { texts.push_back(n.Text); });
  return texts;
}

// Builds "top" with `n` children, each with one child of its own.
MenuTree Sample(int n) {
  MenuTree tree;
  MenuNode* top = tree.Append(nullptr, "top", Named("MenuRoot"));
  for (int i = 0; i < n; ++i) {
    MenuNode* child = tree.Append(top, "c" + std::to_string(i), Named("Games"));
    tree.Append(child, "g" + std::to_string(i), Named("Camera"));
  }
  return tree;
}

// Nodes are pointed at from outside (the window's model holds them): a node keeps its
// address while others come and go, and slots freed by deletions are used again.
TEST(MenuTree, NodesKeepTheirAddressesAndFreedSlotsAreReused) {
  MenuTree tree = Sample(40);
  MenuNode* keep = tree.NodeAt(5);
  const std::string keepText = keep->Text;
  std::vector<MenuNode*> gone;
  for (int i = 0; i < 10; ++i) {
    MenuNode* victim = tree.TopNodes()[0]->Children.back().get();
    gone.push_back(victim);
    gone.push_back(victim->Children[0].get());
    tree.Remove(victim);
  }
  for (int i = 0; i < 20; ++i) {
    MenuNode* added = tree.Append(tree.TopNodes()[0].get(), "new", Named("Radio"));
    EXPECT_NE(std::find(gone.begin(), gone.end(), added), gone.end()) << i;
  }
  EXPECT_EQ(keep, tree.NodeAt(5));
  EXPECT_EQ(keep->Text, keepText);
  EXPECT_EQ(tree.Count(), 1u + 2 * 30 + 20);
}

// Copies, moves and assignments between trees: each tree stays whole and independent, and
// a tree assigned over drops its own nodes (the sanitizer build checks that no node outlives
// the memory it came from).
TEST(MenuTree, CopiesAndMovesKeepEachTreeWhole) {
  MenuTree a = Sample(3);
  MenuTree copy = a;
  copy.NodeAt(1)->Text = "changed";
  EXPECT_EQ(a.NodeAt(1)->Text, "c0");
  EXPECT_EQ(copy.NodeAt(2)->Parent, copy.NodeAt(1));

  MenuTree b = Sample(5);
  b = a;  // copy over a tree with nodes of its own
  EXPECT_EQ(Texts(b), Texts(a));
  MenuNode* first = a.NodeAt(1);
  b = std::move(a);  // move over one
  EXPECT_EQ(b.NodeAt(1), first);
  EXPECT_TRUE(a.Empty());
  a.Append(nullptr, "again", Named("MenuRoot"));  // a moved-from tree takes new nodes
  EXPECT_EQ(Texts(a), std::vector<std::string>{"again"});

  MenuTree c(std::move(b));
  EXPECT_EQ(c.NodeAt(1), first);
  EXPECT_EQ(Texts(c), Texts(Sample(3)));
  c = c;
  EXPECT_EQ(c.Count(), 7u);
  c.Clear();
  EXPECT_TRUE(c.Empty());
}

}  // namespace
}  // namespace trellune
