// Whole-document comparisons and the model's invariants, for tests that drive many edits.
#pragma once

#include <array>
#include <string>

#include "mma/menu_document.h"
#include "mma/menu_ops.h"

namespace trellune::test {

inline bool SameRun(const NodeList& a, const NodeList& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i]->Text != b[i]->Text || !(a[i]->Item == b[i]->Item)) return false;
    if (!SameRun(a[i]->Children, b[i]->Children)) return false;
  }
  return true;
}

// Every part of the document: tree, items, data slots, counters, options, kind list.
inline bool SameDocument(const MenuDocument& a, const MenuDocument& b) {
  return SameRun(a.Tree.TopNodes(), b.Tree.TopNodes()) && a.ItemData.Slots == b.ItemData.Slots &&
         a.DataItemCount == b.DataItemCount && a.CustomItemCount == b.CustomItemCount &&
         a.SaveFailed == b.SaveFailed && a.RecordLength == b.RecordLength &&
         a.Options == b.Options && a.Kinds.KnownKindCount == b.Kinds.KnownKindCount &&
         a.Kinds.KindNames == b.Kinds.KindNames &&
         a.Kinds.KindDisplayNames == b.Kinds.KindDisplayNames;
}

// The numbering ties every main item to its record and its data slot. Returns what is wrong,
// or an empty string.
inline std::string NumberingProblem(const MenuDocument& doc) {
  std::string problem;
  const MenuTree& tree = doc.Tree;
  if (tree.Empty()) return "";
  if (tree.TopNodes().size() != 2 || tree.SoftkeyContainer()->Children.size() != 7)
    return "the fixed top of the tree is broken";
  std::array<const MenuNode*, 256> owner{};
  std::size_t position = 0;
  tree.ForEach([&](MenuNode& node) {
    const TMMAItem& item = node.Item;
    const std::size_t p = position++;
    if (!problem.empty()) return;
    auto fail = [&](const std::string& what) {
      problem = "node " + std::to_string(p) + " (" + node.Text + "): " + what;
    };
    if (p >= 1 && p <= 7 && item.Id != p + 2) return fail("softkey slot");
    if (p >= kFirstMainPosition) {
      if (item.Id != ItemRecordNumber(tree, node)) return fail("Id is not its record number");
      const std::uint8_t parentRecord =
          node.Parent == tree.MenuRoot() ? 9 : node.Parent->Item.Id - 1;
      if (item.ParentIndex != parentRecord) return fail("ParentIndex");
      const bool last = tree.NextSibling(&node) == nullptr;
      if (item.NextIndex != (last ? kNoIndex : item.Id)) return fail("NextIndex");
      const std::uint8_t child = node.HasChildren() ? node.Children[0]->Item.Id - 1 : kNoIndex;
      if (item.ChildIndex != child) return fail("ChildIndex");
      if (!node.HasChildren() && item.ItemType == 1) return fail("a leaf kept the folder type");
    }
    if (p == 0 || p == kMenuRootPosition) return;
    if (owner[item.Id]) return fail("shares its Id with another node");
    owner[item.Id] = &node;
    const auto& slot = doc.ItemData[item.Id];
    if (slot && slot->OwnerId != item.Id) return fail("the block's OwnerId");
    if (slot && !item.HasData) return fail("a block without HasData");
  });
  if (!problem.empty()) return problem;
  for (int id = 0; id < 256; ++id)
    if (doc.ItemData.Slots[id] && !owner[id])
      return "slot " + std::to_string(id) + " holds a block of no item";
  return "";
}

}  // namespace trellune::test
