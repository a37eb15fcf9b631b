// The one way to change an open menu. MenuEditor owns the document; every command that
// changes it has a predicate that says whether it may run on the given node and kind, and a
// refused command changes nothing and says why. Listeners hear what changed, in an order a
// Qt item model can follow (before/after pairs for structural changes), so a tree view and
// an undo history can follow the document without reading it again.
//
// Nodes are passed as pointers into the document's tree. Any pointer value is safe: one
// that is not a node of the open menu is refused without being dereferenced.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "messages.h"
#include "mma/menu_document.h"
#include "mma/menu_json.h"
#include "mma/menu_writer.h"
#include "profiles/profiles.h"

namespace trellune {

enum class AddPlacement {
  SubitemFirst,  // "Add subitem" -> "Add First": first child of the node
  SubitemLast,   // "Add subitem" -> "Add Last": last child of the node
  ItemFirst,     // "Add item" -> "Add First": first of the node's sibling run
  ItemBefore,    // "Add item" -> "Add Before": just before the node
};

// A predicate's answer: allowed, or the reason in the user's words.
class Verdict {
 public:
  static Verdict Allow() { return Verdict(); }
  static Verdict Refuse(std::string reason) { return Verdict(std::move(reason)); }
  explicit operator bool() const { return reason_.empty(); }
  const std::string& Reason() const { return reason_; }

 private:
  Verdict() = default;
  explicit Verdict(std::string reason) : reason_(std::move(reason)) {}
  std::string reason_;
};

struct EditOutcome {
  bool done = false;
  std::string refusal;             // why nothing changed, when not done
  const MenuNode* node = nullptr;  // the node the command created, changed or moved
  bool openDialog = false;         // a custom item was made: open its properties dialog
  explicit operator bool() const { return done; }
};

// Receives the editor's notifications. Structural changes come in pairs around the change;
// `parent` nullptr stands for the top level, rows count within the parent's children.
class MenuEditListener {
 public:
  virtual ~MenuEditListener() = default;
  virtual void BeforeInsert(const MenuNode* /*parent*/, std::size_t /*row*/) {}
  virtual void AfterInsert(const MenuNode& /*node*/) {}
  virtual void BeforeRemove(const MenuNode& /*node*/) {}
  virtual void AfterRemove(const MenuNode* /*parent*/, std::size_t /*row*/) {}
  // `toRow` counts in the destination's children before the node left its place.
  virtual void BeforeMove(const MenuNode& /*node*/, const MenuNode* /*toParent*/,
                          std::size_t /*toRow*/) {}
  virtual void AfterMove(const MenuNode& /*node*/) {}
  // The node's text, item bytes or attached data changed.
  virtual void ItemChanged(const MenuNode& /*node*/) {}
  // The whole tree is replaced (New, Open, import): no node pointer survives.
  virtual void BeforeReset() {}
  virtual void AfterReset() {}
  virtual void OptionsChanged() {}
  virtual void KindsChanged() {}
};

class MenuEditor {
 public:
  MenuEditor() = default;
  explicit MenuEditor(MenuDocument doc) : doc_(std::move(doc)) {}
  MenuEditor(const MenuEditor&) = delete;
  MenuEditor& operator=(const MenuEditor&) = delete;

  const MenuDocument& Document() const { return doc_; }
  const MenuTree& Tree() const { return doc_.Tree; }

  // Counts the changes made: it moves on whenever listeners hear of one, so a caller can see
  // whether a command changed anything.
  std::uint64_t Revision() const { return revision_; }
  // Puts back a whole document kept earlier (an undo history's step); listeners hear a reset.
  void Restore(MenuDocument doc);

  void AddListener(MenuEditListener* listener);
  void RemoveListener(MenuEditListener* listener);

  // --- Predicates. The overloads without a kind check only the node, for menus that are
  // enabled before a kind is chosen; the commands check both. ---
  Verdict CanAdd(const MenuNode* at, AddPlacement placement) const;
  Verdict CanAdd(const MenuNode* at, AddPlacement placement, int kindIndex) const;
  Verdict CanReplace(const MenuNode* at) const;
  Verdict CanReplace(const MenuNode* at, int kindIndex) const;
  Verdict CanModify(const MenuNode* at) const;
  Verdict CanApplyItemProperties(const MenuNode* at, const ItemProperties& props) const;
  Verdict CanDelete(const MenuNode* at) const;
  Verdict CanMoveUp(const MenuNode* at) const;
  Verdict CanMoveDown(const MenuNode* at) const;
  // Whether a drag may start at the node: only items of the main menu move.
  Verdict CanDrag(const MenuNode* at) const;
  Verdict CanDropNode(const MenuNode* dragged, const MenuNode* target) const;
  Verdict CanDropKind(const MenuNode* target) const;
  Verdict CanDropKind(int kindIndex, const MenuNode* target) const;

  // --- Commands. Each checks its predicate first; every structural change ends with the
  // renumbering that keeps records, index fields and data slots in agreement. ---

  // An item of the kind at list position kindIndex, placed relative to `at`. A custom item
  // asks for its properties dialog; a shortcut kind gets its shortcut entry.
  EditOutcome Add(const MenuNode* at, AddPlacement placement, int kindIndex);
  // "Replace": the node takes the kind; its attached data is dropped.
  EditOutcome Replace(const MenuNode* at, int kindIndex);
  // "Modify item", once the dialog closed with OK.
  EditOutcome ApplyItemProperties(const MenuNode* at, ItemProperties props);
  // "Delete item": the node and its subitems, with their data.
  EditOutcome Delete(const MenuNode* at);
  EditOutcome MoveUp(const MenuNode* at);
  EditOutcome MoveDown(const MenuNode* at);
  // A node of the tree dropped on `target`: it moves to just before it.
  EditOutcome DropNode(const MenuNode* dragged, const MenuNode* target);
  // A kind of the list dropped on `target`: a new item just before it.
  EditOutcome DropKind(int kindIndex, const MenuNode* target);

  // --- The whole menu. A read or an import that fails leaves the document as it was. ---

  // "New": the default softkeys and an empty "Menu Root". The custom counter goes on.
  void NewMenu();
  // Emptying the menu before Open and Open from phone: no nodes, no data; the custom counter,
  // the options and the profile stay.
  void Clear();
  // Reads a menu file as Open does, falling back to the built-in kind list when the file does
  // not match the profile; returns the warnings to show. FileError, MalformedMenuFile.
  std::vector<UserMessage> Open(const std::filesystem::path& path);
  // Takes the menu of a JSON form (its options and custom counter too). MenuJsonError.
  void ImportJson(const Json& json);
  // Writes the menu file; the document is not changed (but for SaveFailed). Returns the
  // refusal, if any. FileError when the file cannot be written.
  std::optional<UserMessage> Save(const std::filesystem::path& path);
  WriteOutcome Serialize() const { return SerializeMenu(doc_); }

  // --- Save options, with the coupling of the record length buttons. ---
  void SelectRecordLength(int length);  // 22 or 36; anything else is taken for 36
  Verdict CanSetIconMarker() const;
  Verdict CanSetC698pFix() const;
  bool SetIconMarker(IconMarker marker);
  bool SetC698pFix(bool on);
  void SetSaveAllData(bool on);

  // --- Profiles: the kind list and the save options; the menu is not read again. ---
  ProfileLoad LoadProfile(const std::filesystem::path& appDir, const std::string& name,
                          const std::vector<std::string>& selectorEntries);
  ProfileLoad LoadProfileFile(const std::filesystem::path& path,
                              const std::vector<std::string>& selectorEntries);
  void ApplyDefaultProfile();

 private:
  // The node as the tree's own mutable pointer, or nullptr when `node` is not one of it.
  MenuNode* Find(const MenuNode* node) const;
  // Position of a node known to be in the tree.
  std::size_t PositionOf(const MenuNode* node) const { return doc_.Tree.PositionOf(node); }
  Verdict KindCheck(int kindIndex) const;
  Verdict RoomForItem() const;
  // Bytes of attached data the menu would write, leaving out one node's.
  std::uint32_t DataBytesWithout(const MenuNode* left) const;
  Verdict DataRoom(std::uint32_t extra, const MenuNode* replaced) const;
  Verdict BlockCheck(const ItemDataBlock& block) const;

  // Inserts a new item node of kind kindIndex in parent's run at row; the caller has checked.
  EditOutcome InsertFromList(MenuNode* parent, std::size_t row, int kindIndex, bool asChild);
  void MoveNode(MenuNode* node, MenuNode* toParent, std::size_t toRow);
  void Reset(MenuDocument doc);
  // A copy of the document's state without its tree and data.
  MenuDocument WithoutMenu() const;

  template <typename F>
  void Notify(F&& f) {
    ++revision_;
    for (MenuEditListener* l : listeners_) f(*l);
  }

  MenuDocument doc_;
  std::uint64_t revision_ = 0;
  std::vector<MenuEditListener*> listeners_;
};

}  // namespace trellune
