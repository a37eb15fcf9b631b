#include "mma/menu_editor.h"

#include <algorithm>

#include "mma/menu_ops.h"
#include "mma/menu_reader.h"

namespace trellune {
namespace {

constexpr std::uint32_t kMaxDataBytes = 0xFFFF;  // data offsets and lengths are 16-bit

const char* const kNoNode = "No item is selected";
const char* const kMenuFull =
    "The menu is full: a menu file holds at most 255 records (245 main items)";
const char* const kNotMainItem = "Only items of the main menu can be dragged";
const char* const kNoDropHere = "Items can only be dropped on items of the main menu";

}  // namespace

void MenuEditor::AddListener(MenuEditListener* listener) {
  if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
    listeners_.push_back(listener);
}

void MenuEditor::RemoveListener(MenuEditListener* listener) {
  std::erase(listeners_, listener);
}

MenuNode* MenuEditor::Find(const MenuNode* node) const {
  MenuNode* found = nullptr;
  if (node && doc_.Tree.Contains(node))
    doc_.Tree.ForEach([&](MenuNode& n) {
      if (&n == node) found = &n;
    });
  return found;
}

// --- predicates ---

Verdict MenuEditor::KindCheck(int kindIndex) const {
  if (kindIndex < 0 || kindIndex >= int(doc_.Kinds.KnownKindCount))
    return Verdict::Refuse("No kind of the list of available items is selected");
  return Verdict::Allow();
}

Verdict MenuEditor::RoomForItem() const {
  // Records: the fixed root record, every node, and the one to come.
  if (doc_.Tree.Count() + 2 > kMaxRecords) return Verdict::Refuse(kMenuFull);
  return Verdict::Allow();
}

std::uint32_t MenuEditor::DataBytesWithout(const MenuNode* left) const {
  std::uint32_t total = 0;
  doc_.Tree.ForEach([&](MenuNode& n) {
    if (&n != left && n.Item.HasData)
      total += ComputeDataLength(doc_.ItemData[n.Item.Id], doc_.Options.saveAllData);
  });
  return total;
}

Verdict MenuEditor::DataRoom(std::uint32_t extra, const MenuNode* replaced) const {
  if (extra > kMaxDataBytes || DataBytesWithout(replaced) + extra > kMaxDataBytes)
    return Verdict::Refuse(
        "The menu's attached data would exceed the 65,535 bytes a menu file holds");
  return Verdict::Allow();
}

Verdict MenuEditor::CanAdd(const MenuNode* at, AddPlacement placement) const {
  if (!Find(at)) return Verdict::Refuse(kNoNode);
  const std::size_t p = PositionOf(at);
  if (placement == AddPlacement::SubitemFirst || placement == AddPlacement::SubitemLast) {
    if (p < kMenuRootPosition)
      return Verdict::Refuse("Only \"Menu Root\" and the items of the main menu take subitems");
    if (at->Item.AllowSubitems != 1) return Verdict::Refuse("This item cannot take subitems");
  } else if (p < kFirstMainPosition) {
    return Verdict::Refuse("Items can only be added beside the items of the main menu");
  }
  return RoomForItem();
}

Verdict MenuEditor::CanAdd(const MenuNode* at, AddPlacement placement, int kindIndex) const {
  if (Verdict v = CanAdd(at, placement); !v) return v;
  if (Verdict v = KindCheck(kindIndex); !v) return v;
  if (IsShortcutKind(doc_.Kinds.KindDisplayNames[std::size_t(kindIndex)]))
    return DataRoom(kShortcutBytes + 3, nullptr);
  return Verdict::Allow();
}

Verdict MenuEditor::CanReplace(const MenuNode* at) const {
  if (!Find(at)) return Verdict::Refuse(kNoNode);
  const std::size_t p = PositionOf(at);
  if (p == 0 || p == kMenuRootPosition)
    return Verdict::Refuse("\"Softkeys\" and \"Menu Root\" cannot be replaced");
  return Verdict::Allow();
}

Verdict MenuEditor::CanReplace(const MenuNode* at, int kindIndex) const {
  if (Verdict v = CanReplace(at); !v) return v;
  if (Verdict v = KindCheck(kindIndex); !v) return v;
  if (IsShortcutKind(doc_.Kinds.KindDisplayNames[std::size_t(kindIndex)]))
    return DataRoom(kShortcutBytes + 3, at);
  return Verdict::Allow();
}

Verdict MenuEditor::CanModify(const MenuNode* at) const {
  if (!Find(at)) return Verdict::Refuse(kNoNode);
  const std::size_t p = PositionOf(at);
  if (p == 0 || p == kMenuRootPosition)
    return Verdict::Refuse("\"Softkeys\" and \"Menu Root\" have no properties to modify");
  return Verdict::Allow();
}

Verdict MenuEditor::CanApplyItemProperties(const MenuNode* at, const ItemProperties& props) const {
  if (Verdict v = CanModify(at); !v) return v;
  // Type 1 marks an item with a submenu: the record's ChildIndex must then name its run.
  if (PositionOf(at) >= kFirstMainPosition && (props.ItemType == 1) != at->HasChildren())
    return Verdict::Refuse(at->HasChildren()
                               ? "An item with subitems keeps the type of a folder (1)"
                               : "An item without subitems cannot have the type of a folder (1)");
  if (!props.data) return Verdict::Allow();
  if (auto problem = CheckItemDataBlock(*props.data)) return Verdict::Refuse(*problem);
  return DataRoom(ComputeDataLength(props.data, doc_.Options.saveAllData), at);
}

Verdict MenuEditor::CanDelete(const MenuNode* at) const {
  if (!Find(at)) return Verdict::Refuse(kNoNode);
  if (PositionOf(at) < kFirstMainPosition)
    return Verdict::Refuse("\"Softkeys\", the softkeys and \"Menu Root\" cannot be deleted");
  return Verdict::Allow();
}

Verdict MenuEditor::CanMoveUp(const MenuNode* at) const {
  if (!Find(at)) return Verdict::Refuse(kNoNode);
  if (PositionOf(at) < kFirstMainPosition)
    return Verdict::Refuse("Only items of the main menu can be moved");
  if (!doc_.Tree.PrevSibling(at)) return Verdict::Refuse("The item is already the first");
  return Verdict::Allow();
}

Verdict MenuEditor::CanMoveDown(const MenuNode* at) const {
  if (!Find(at)) return Verdict::Refuse(kNoNode);
  if (PositionOf(at) < kFirstMainPosition)
    return Verdict::Refuse("Only items of the main menu can be moved");
  if (!doc_.Tree.NextSibling(at)) return Verdict::Refuse("The item is already the last");
  return Verdict::Allow();
}

Verdict MenuEditor::CanDrag(const MenuNode* at) const {
  if (!Find(at)) return Verdict::Refuse(kNoNode);
  if (PositionOf(at) < kFirstMainPosition) return Verdict::Refuse(kNotMainItem);
  return Verdict::Allow();
}

Verdict MenuEditor::CanDropNode(const MenuNode* dragged, const MenuNode* target) const {
  if (Verdict v = CanDrag(dragged); !v) return v;
  if (!Find(target)) return Verdict::Refuse(kNoDropHere);
  if (PositionOf(target) < kFirstMainPosition) return Verdict::Refuse(kNoDropHere);
  if (doc_.Tree.IsInSubtree(target, dragged))
    return Verdict::Refuse("An item cannot be moved into itself or its subitems");
  return Verdict::Allow();
}

Verdict MenuEditor::CanDropKind(const MenuNode* target) const {
  if (!Find(target) || PositionOf(target) < kFirstMainPosition) return Verdict::Refuse(kNoDropHere);
  return RoomForItem();
}

Verdict MenuEditor::CanDropKind(int kindIndex, const MenuNode* target) const {
  if (Verdict v = CanDropKind(target); !v) return v;
  return CanAdd(target, AddPlacement::ItemBefore, kindIndex);
}

// --- commands ---

namespace {
EditOutcome Refused(const Verdict& v) {
  EditOutcome out;
  out.refusal = v.Reason();
  return out;
}
}  // namespace

EditOutcome MenuEditor::InsertFromList(MenuNode* parent, std::size_t row, int kindIndex,
                                       bool asChild) {
  const std::size_t k = std::size_t(kindIndex);
  const std::string display(doc_.Kinds.KindDisplayNames[k]);
  const bool custom = display == kCustomItemName;
  TMMAItem item;
  std::string text;
  if (custom) {
    ++doc_.CustomItemCount;
    item.Name = "~" + std::to_string(doc_.CustomItemCount);
    text = item.Name;
  } else {
    item.Name = doc_.Kinds.KindNames[k];
    text = display;
  }
  item.AllowSubitems = doc_.Kinds.FlagOf(std::uint8_t(k));

  Notify([&](MenuEditListener& l) { l.BeforeInsert(parent, row); });
  MenuNode* node = doc_.Tree.Insert(parent, row, std::move(text), std::move(item));
  const TMMAItem parentBefore = parent->Item;
  InsertItem(doc_, custom, *node, asChild);
  Notify([&](MenuEditListener& l) { l.AfterInsert(*node); });
  if (IsShortcutKind(display)) {
    MakeShortcutData(doc_, *node, doc_.Kinds.KindNames[k]);
    Notify([&](MenuEditListener& l) { l.ItemChanged(*node); });
  }
  if (asChild && !(parent->Item == parentBefore))
    Notify([&](MenuEditListener& l) { l.ItemChanged(*parent); });

  EditOutcome out;
  out.done = true;
  out.node = node;
  out.openDialog = custom;
  return out;
}

EditOutcome MenuEditor::Add(const MenuNode* at, AddPlacement placement, int kindIndex) {
  if (Verdict v = CanAdd(at, placement, kindIndex); !v) return Refused(v);
  MenuNode* node = Find(at);
  switch (placement) {
    case AddPlacement::SubitemFirst:
      return InsertFromList(node, 0, kindIndex, true);
    case AddPlacement::SubitemLast:
      return InsertFromList(node, node->Children.size(), kindIndex, true);
    case AddPlacement::ItemFirst:
      return InsertFromList(node->Parent, 0, kindIndex, false);
    case AddPlacement::ItemBefore:
      break;
  }
  return InsertFromList(node->Parent, doc_.Tree.IndexOf(node), kindIndex, false);
}

EditOutcome MenuEditor::Replace(const MenuNode* at, int kindIndex) {
  if (Verdict v = CanReplace(at, kindIndex); !v) return Refused(v);
  MenuNode* node = Find(at);
  const std::size_t k = std::size_t(kindIndex);
  const std::string display(doc_.Kinds.KindDisplayNames[k]);
  const std::string name(doc_.Kinds.KindNames[k]);
  const bool custom = display == kCustomItemName;
  ReplaceItemKind(doc_, *node, custom, name);
  if (IsShortcutKind(display)) MakeShortcutData(doc_, *node, name);
  Notify([&](MenuEditListener& l) { l.ItemChanged(*node); });
  EditOutcome out;
  out.done = true;
  out.node = node;
  out.openDialog = custom;
  return out;
}

EditOutcome MenuEditor::ApplyItemProperties(const MenuNode* at, ItemProperties props) {
  if (props.data && props.data->Entries.empty()) props.data.reset();  // no frame, no data
  if (Verdict v = CanApplyItemProperties(at, props); !v) return Refused(v);
  MenuNode* node = Find(at);
  TMMAItem& item = node->Item;
  auto& slot = doc_.ItemData[item.Id];
  if (props.data) {
    if (!slot) ++doc_.DataItemCount;
    for (ItemDataEntry& e : props.data->Entries) UpdateLength(e);
    slot = std::move(*props.data);
    AttachData(doc_, *node);
  } else {
    slot.reset();
    item.HasData = false;
    item.DataLength = 0;
  }
  item.Flags = props.Flags;
  item.Attributes = props.Attributes;
  item.ItemType = props.ItemType;
  Notify([&](MenuEditListener& l) { l.ItemChanged(*node); });
  EditOutcome out;
  out.done = true;
  out.node = node;
  return out;
}

EditOutcome MenuEditor::Delete(const MenuNode* at) {
  if (Verdict v = CanDelete(at); !v) return Refused(v);
  MenuNode* node = Find(at);
  MenuNode* parent = node->Parent;
  const std::size_t row = doc_.Tree.IndexOf(node);
  const TMMAItem parentBefore = parent->Item;
  Notify([&](MenuEditListener& l) { l.BeforeRemove(*node); });
  DeleteItem(doc_, *node);
  Notify([&](MenuEditListener& l) { l.AfterRemove(parent, row); });
  if (!(parent->Item == parentBefore)) Notify([&](MenuEditListener& l) { l.ItemChanged(*parent); });
  EditOutcome out;
  out.done = true;
  out.node = parent;
  return out;
}

void MenuEditor::MoveNode(MenuNode* node, MenuNode* toParent, std::size_t toRow) {
  MenuNode* fromParent = node->Parent;
  const TMMAItem fromBefore = fromParent->Item;
  Notify([&](MenuEditListener& l) { l.BeforeMove(*node, toParent, toRow); });
  doc_.Tree.Move(node, toParent, toRow);
  RenumberItems(doc_);
  Notify([&](MenuEditListener& l) { l.AfterMove(*node); });
  if (fromParent != toParent && !(fromParent->Item == fromBefore))
    Notify([&](MenuEditListener& l) { l.ItemChanged(*fromParent); });
}

EditOutcome MenuEditor::MoveUp(const MenuNode* at) {
  if (Verdict v = CanMoveUp(at); !v) return Refused(v);
  MenuNode* node = Find(at);
  MoveNode(node, node->Parent, doc_.Tree.IndexOf(node) - 1);
  EditOutcome out;
  out.done = true;
  out.node = node;
  return out;
}

EditOutcome MenuEditor::MoveDown(const MenuNode* at) {
  if (Verdict v = CanMoveDown(at); !v) return Refused(v);
  MenuNode* node = Find(at);
  // Before the sibling after next, or to the end of the run when there is none; counted
  // before the move, the row after the next sibling.
  MoveNode(node, node->Parent, doc_.Tree.IndexOf(node) + 2);
  EditOutcome out;
  out.done = true;
  out.node = node;
  return out;
}

EditOutcome MenuEditor::DropNode(const MenuNode* dragged, const MenuNode* target) {
  if (Verdict v = CanDropNode(dragged, target); !v) return Refused(v);
  MenuNode* node = Find(dragged);
  MenuNode* before = Find(target);
  EditOutcome out;
  out.done = true;
  out.node = node;
  // Dropped on the sibling that follows it: it already stands just before it.
  if (doc_.Tree.NextSibling(node) == before) return out;
  MoveNode(node, before->Parent, doc_.Tree.IndexOf(before));
  return out;
}

EditOutcome MenuEditor::DropKind(int kindIndex, const MenuNode* target) {
  if (Verdict v = CanDropKind(kindIndex, target); !v) return Refused(v);
  MenuNode* before = Find(target);
  return InsertFromList(before->Parent, doc_.Tree.IndexOf(before), kindIndex, false);
}

// --- the whole menu ---

void MenuEditor::Reset(MenuDocument doc) {
  Notify([](MenuEditListener& l) { l.BeforeReset(); });
  const bool optionsChanged = !(doc.Options == doc_.Options);
  doc_ = std::move(doc);
  Notify([](MenuEditListener& l) { l.AfterReset(); });
  if (optionsChanged) Notify([](MenuEditListener& l) { l.OptionsChanged(); });
}

MenuDocument MenuEditor::WithoutMenu() const {
  MenuDocument doc;
  doc.CustomItemCount = doc_.CustomItemCount;
  doc.SaveFailed = doc_.SaveFailed;
  doc.RecordLength = doc_.RecordLength;
  doc.DataAreaOffset = doc_.DataAreaOffset;
  doc.Options = doc_.Options;
  doc.Kinds = doc_.Kinds;
  return doc;
}

void MenuEditor::NewMenu() {
  MenuDocument fresh = WithoutMenu();
  trellune::NewMenu(fresh);
  Reset(std::move(fresh));
}

void MenuEditor::Restore(MenuDocument doc) {
  const bool kindsChanged = doc.Kinds.KnownKindCount != doc_.Kinds.KnownKindCount ||
                            doc.Kinds.KindNames != doc_.Kinds.KindNames;
  Reset(std::move(doc));
  if (kindsChanged) Notify([](MenuEditListener& l) { l.KindsChanged(); });
}

void MenuEditor::Clear() {
  Reset(WithoutMenu());
}

std::vector<UserMessage> MenuEditor::Open(const std::filesystem::path& path) {
  MenuDocument read = WithoutMenu();
  std::vector<UserMessage> warnings = ReadMenuWithProfileCheck(path, read);
  const bool kindsChanged = !warnings.empty();
  Reset(std::move(read));
  if (kindsChanged) Notify([](MenuEditListener& l) { l.KindsChanged(); });
  return warnings;
}

void MenuEditor::ImportJson(const Json& json) {
  MenuDocument imported = WithoutMenu();
  MenuFromJson(json, imported);
  Reset(std::move(imported));
}

std::optional<UserMessage> MenuEditor::Save(const std::filesystem::path& path) {
  return WriteMenuFile(path, doc_);
}

// --- options ---

void MenuEditor::SelectRecordLength(int length) {
  const FormatOptions before = doc_.Options;
  doc_.Options.SelectRecordLength(length == 22 ? 22 : 36);
  if (!(before == doc_.Options)) Notify([](MenuEditListener& l) { l.OptionsChanged(); });
}

Verdict MenuEditor::CanSetIconMarker() const {
  if (!doc_.Options.iconMarkerEnabled)
    return Verdict::Refuse("The custom icon attribute can be chosen in 22-byte mode only");
  return Verdict::Allow();
}

Verdict MenuEditor::CanSetC698pFix() const {
  if (!doc_.Options.c698pFixEnabled)
    return Verdict::Refuse("The c698p fix can be chosen in 22-byte mode only");
  return Verdict::Allow();
}

bool MenuEditor::SetIconMarker(IconMarker marker) {
  if (!CanSetIconMarker()) return false;
  if (doc_.Options.iconMarker != marker) {
    doc_.Options.iconMarker = marker;
    Notify([](MenuEditListener& l) { l.OptionsChanged(); });
  }
  return true;
}

bool MenuEditor::SetC698pFix(bool on) {
  if (!CanSetC698pFix()) return false;
  if (doc_.Options.c698pFix != on) {
    doc_.Options.c698pFix = on;
    Notify([](MenuEditListener& l) { l.OptionsChanged(); });
  }
  return true;
}

void MenuEditor::SetSaveAllData(bool on) {
  if (doc_.Options.saveAllData == on) return;
  doc_.Options.saveAllData = on;
  Notify([](MenuEditListener& l) { l.OptionsChanged(); });
}

// --- profiles ---

ProfileLoad MenuEditor::LoadProfile(const std::filesystem::path& appDir, const std::string& name,
                                    const std::vector<std::string>& selectorEntries) {
  ProfileLoad load = trellune::LoadProfile(doc_, appDir, name, selectorEntries);
  Notify([](MenuEditListener& l) {
    l.KindsChanged();
    l.OptionsChanged();
  });
  return load;
}

ProfileLoad MenuEditor::LoadProfileFile(const std::filesystem::path& path,
                                        const std::vector<std::string>& selectorEntries) {
  ProfileLoad load = trellune::LoadProfileFile(doc_, path, selectorEntries);
  Notify([](MenuEditListener& l) {
    l.KindsChanged();
    l.OptionsChanged();
  });
  return load;
}

void MenuEditor::ApplyDefaultProfile() {
  trellune::ApplyDefaultProfile(doc_);
  Notify([](MenuEditListener& l) {
    l.KindsChanged();
    l.OptionsChanged();
  });
}

}  // namespace trellune
