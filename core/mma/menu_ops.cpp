#include "mma/menu_ops.h"

#include <array>
#include <string>

namespace trellune {
namespace {

constexpr std::array<std::string_view, 7> kDefaultSoftkeys = {
    "PhoneBook", "Message", "RecentCall", "Mutilmedia", "AlarmClock", "MMRingStyle", "VoiceRecord"};

// Numbers the main items in the order the writer emits records (a sibling run whole, then
// the runs of its members' children in member order) and sets their index fields, in one
// walk. A run's parent is numbered before the run, so its number is known here. The old
// numbers are kept in walk order for the data that has to follow its item.
class Renumbering {
 public:
  Renumbering(MenuNode& root, std::vector<std::uint8_t>* oldIds) : root_(root), oldIds_(oldIds) {}

  // Whether every item with data kept its number, and no two claimed one slot: then the
  // data table needs no reshuffle, only its unowned slots emptied. That is the case after
  // a read and after most edits.
  bool kept = true;
  std::array<bool, 256> owned{};

  void Run(NodeList& run) {
    for (const auto& node : run) {
      TMMAItem& item = node->Item;
      const std::uint8_t oldId = item.Id;
      item.Id = next_++;
      if (oldIds_) oldIds_->push_back(oldId);
      if (item.HasData) {
        if (oldId != item.Id || owned[oldId]) kept = false;
        owned[oldId] = true;
      }
    }
    for (std::size_t i = 0; i < run.size(); ++i) {
      MenuNode& node = *run[i];
      TMMAItem& item = node.Item;
      item.NextIndex = i + 1 == run.size() ? kNoIndex : item.Id;
      item.ParentIndex = std::uint8_t((node.Parent == &root_ ? 10 : node.Parent->Item.Id) - 1);
      if (!node.HasChildren()) {
        item.ChildIndex = kNoIndex;
        if (item.ItemType == 1) item.ItemType = 0;
      }
      if (i == 0) node.Parent->Item.ChildIndex = std::uint8_t(item.Id - 1);
    }
    for (const auto& node : run)
      if (node->HasChildren()) Run(node->Children);
  }

 private:
  MenuNode& root_;
  std::vector<std::uint8_t>* oldIds_;
  std::uint8_t next_ = 11;
};

// Moves the blocks of items whose number changed to their new slots, visiting the items in
// the walk order of the numbering. Two items can only share an old slot in a damaged model;
// the second then gets a copy.
class DataCarrier {
 public:
  DataCarrier(ItemDataTable& data, ItemDataTable& fresh, const std::vector<std::uint8_t>& oldIds)
      : data_(data), fresh_(fresh), oldIds_(oldIds) {}

  void Run(const NodeList& run) {
    for (const auto& node : run) {
      const std::uint8_t oldId = oldIds_[at_++];
      if (node->Item.HasData) Carry(oldId, node->Item.Id);
    }
    for (const auto& node : run)
      if (node->HasChildren()) Run(node->Children);
  }

 private:
  void Carry(std::uint8_t oldId, std::uint8_t newId) {
    std::optional<ItemDataBlock> block;
    if (!moved_[oldId]) {
      block = std::move(data_.Slots[oldId]);
      moved_[oldId] = true;
      movedTo_[oldId] = newId;
    } else {
      block = fresh_.Slots[movedTo_[oldId]];
    }
    if (block) {
      block->OwnerId = newId;
      fresh_.Slots[newId] = std::move(block);
    }
  }

  ItemDataTable& data_;
  ItemDataTable& fresh_;
  const std::vector<std::uint8_t>& oldIds_;
  std::size_t at_ = 0;
  std::array<bool, 256> moved_{};
  std::array<std::uint8_t, 256> movedTo_{};
};

bool KeptWhenBecomingFolder(std::uint8_t typeCode) {
  switch (typeCode) {
    case kMenuTitles:
    case kSoftkeyTitles:
    case kIconFile:
    case kIconDrmList:
    case kIconDrmStatic:
    case kIconDrmAnimated:
      return true;
    default:
      return false;
  }
}

std::string CustomName(std::uint8_t number) {
  return "~" + std::to_string(number);
}

}  // namespace

std::uint8_t ItemRecordNumber(const MenuTree& tree, const MenuNode& node) {
  if (&node == tree.MenuRoot()) return 10;
  std::uint8_t n = static_cast<std::uint8_t>(tree.IndexOf(&node));
  for (const MenuNode* a = node.Parent; a; a = a->Parent) {
    const NodeList& run = tree.SiblingsOf(a);
    std::size_t at = tree.IndexOf(a);
    for (std::size_t i = 0; i < at; ++i) n = std::uint8_t(n + 1 + CountDescendants(*run[i]));
    n = std::uint8_t(n + (run.size() - at - 1) + 1);
  }
  return std::uint8_t(n + 2);
}

void RenumberItems(MenuDocument& doc) {
  RenumberItems(doc.Tree, doc.ItemData);
}

void RenumberItems(MenuTree& tree, ItemDataTable& data) {
  MenuNode* root = tree.MenuRoot();
  std::vector<std::uint8_t> oldIds;
  std::array<bool, 256> owned{};
  bool kept = true;
  if (root) {
    oldIds.reserve(kMaxRecords);
    Renumbering numbering(*root, &oldIds);
    numbering.Run(root->Children);
    kept = numbering.kept;
    owned = numbering.owned;
  }
  if (kept) {
    // The softkeys' slots stay; a main slot stays only with its item.
    for (std::size_t slot = 0; slot < data.Slots.size(); ++slot) {
      if (slot >= 3 && slot <= 9) continue;
      if (!owned[slot])
        data.Slots[slot].reset();
      else if (data.Slots[slot])
        data.Slots[slot]->OwnerId = std::uint8_t(slot);
    }
    return;
  }
  ItemDataTable fresh;
  for (int slot = 3; slot <= 9; ++slot) fresh.Slots[slot] = std::move(data.Slots[slot]);
  DataCarrier(data, fresh, oldIds).Run(root->Children);
  data = std::move(fresh);
}

void RenumberTree(MenuTree& tree) {
  if (MenuNode* root = tree.MenuRoot()) Renumbering(*root, nullptr).Run(root->Children);
}

void AttachData(MenuDocument& doc, MenuNode& node) {
  TMMAItem& item = node.Item;
  auto& slot = doc.ItemData[item.Id];
  item.HasData = true;
  if (slot) slot->OwnerId = item.Id;
  item.DataLength = static_cast<std::uint16_t>(ComputeDataLength(slot, doc.Options.saveAllData));
}

void InsertItem(MenuDocument& doc, bool isCustom, MenuNode& node, bool asChild) {
  MenuNode* parent = node.Parent;
  TMMAItem& item = node.Item;
  item.NextIndex = kNoIndex;
  item.ParentIndex = std::uint8_t(ItemRecordNumber(doc.Tree, *parent) - 1);
  item.ChildIndex = kNoIndex;
  item.ItemType = 0;
  item.Flags = isCustom ? 0x18 : 0;
  item.HasData = false;
  item.DataOffset = 0;
  item.DataLength = 0;
  item.Group = kGroupMain;
  item.Attributes = 0x41;

  if (asChild) {
    TMMAItem& folder = parent->Item;
    if (folder.ItemType != 1) {
      folder.ItemType = 1;
      folder.ChildIndex = kNoIndex;
    }
    auto& slot = doc.ItemData[folder.Id];
    if (folder.HasData && slot) {
      std::erase_if(slot->Entries,
                    [](const ItemDataEntry& e) { return !KeptWhenBecomingFolder(e.TypeCode); });
      if (!slot->Entries.empty()) {
        folder.DataLength =
            static_cast<std::uint16_t>(ComputeDataLength(slot, doc.Options.saveAllData));
      } else {
        slot.reset();
        folder.HasData = false;
        folder.DataLength = 0;
      }
    }
  }
  RenumberItems(doc);
}

bool ReplaceItemKind(MenuDocument& doc, MenuNode& node, bool isCustom, std::string_view kindName) {
  const std::uint8_t k = doc.Kinds.FindKindIndex(kindName);
  TMMAItem& item = node.Item;
  doc.ItemData[item.Id].reset();
  item.DataLength = 0;
  item.HasData = false;
  const std::size_t position = doc.Tree.PositionOf(&node);
  if (isCustom) {
    ++doc.CustomItemCount;
    item.Name = CustomName(doc.CustomItemCount);
    node.Text = NodeTextFor(doc.Kinds, item.Name, position);
  } else {
    item.Name = std::string(kindName);
    node.Text = doc.Kinds.KindDisplayText(k, position);
  }
  item.AllowSubitems = doc.Kinds.FlagOf(k);
  item.ItemType = node.HasChildren() ? 1 : 0;
  item.Flags = 0;
  item.Attributes = 0x40;
  RenumberItems(doc);
  if (isCustom) item.Flags = 0x18;
  return isCustom;
}

void MakeShortcutData(MenuDocument& doc, MenuNode& node, std::string_view kindName) {
  ItemDataBlock block;
  block.OwnerId = node.Item.Id;
  block.Entries.push_back(MakeShortcutEntry(kindName));
  ++doc.DataItemCount;
  doc.ItemData[node.Item.Id] = std::move(block);
  node.Item.HasData = true;
  node.Item.DataLength = static_cast<std::uint16_t>(
      ComputeDataLength(doc.ItemData[node.Item.Id], doc.Options.saveAllData));
}

void EmptyMenu(MenuDocument& doc) {
  doc.Tree.Clear();
  ClearDataTable(doc.ItemData);
  doc.DataItemCount = 0;
}

void NewKeys(MenuDocument& doc) {
  MenuNode* softkeys = doc.Tree.Append(nullptr, "Softkeys", SoftkeyContainerItem());
  for (int k = 0; k < 7; ++k) {
    TMMAItem key;
    key.Name = std::string(kDefaultSoftkeys[k]);
    key.Id = std::uint8_t(k + 3);
    key.Attributes = 0x41;
    key.Group = kGroupSoftkeys;
    key.AllowSubitems = 0;
    std::string text = std::string(SoftkeyPrefix(k)) +
                       std::string(BuiltinKindRow(FindBuiltinKindIndex(key.Name)).display);
    doc.Tree.Append(softkeys, std::move(text), std::move(key));
  }
}

void NewMenu(MenuDocument& doc) {
  EmptyMenu(doc);
  NewKeys(doc);
  doc.Tree.Append(nullptr, "Menu Root", MenuRootItem(RootOrigin::NewMenu));
}

std::string StatusText(const MenuDocument& doc) {
  return "Format: " + std::to_string(doc.RecordLength) +
         "-byte  Entries: " + std::to_string(static_cast<long>(doc.Tree.Count()) - 9);
}

namespace {
void ReleaseData(MenuDocument& doc, MenuNode& node) {
  for (const auto& child : node.Children)
    if (child->Item.HasData) ReleaseData(doc, *child);
  auto& slot = doc.ItemData[node.Item.Id];
  if (slot) {
    slot.reset();
    --doc.DataItemCount;
    node.Item.HasData = false;
    node.Item.DataLength = 0;
  }
}
}  // namespace

void DeleteItem(MenuDocument& doc, MenuNode& node) {
  ReleaseData(doc, node);
  doc.Tree.Remove(&node);
  RenumberItems(doc);
}

}  // namespace trellune
