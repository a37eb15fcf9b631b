// The menu tree: ordered nodes, each owning one TMMAItem. The top level always holds
// "Softkeys" (with the seven softkeys) and "Menu Root" (with the main menu). Nodes are also
// addressed by their pre-order position: 0 "Softkeys", 1..7 the softkeys, 8 "Menu Root",
// 9 and up the main items.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace trellune {

constexpr std::uint8_t kNoIndex = 255;
constexpr std::uint8_t kGroupSoftkeys = 0xCC;
constexpr std::uint8_t kGroupMain = 0xCD;
constexpr std::size_t kMenuRootPosition = 8;
constexpr std::size_t kFirstMainPosition = 9;
// Record indexes are 8 bits and 255 means "none": a file holds at most 255 records, the
// fixed root record included, so a tree holds at most 254 nodes.
constexpr std::size_t kMaxRecords = 255;

// The record every node carries, with the fields in file order.
struct TMMAItem {
  std::uint8_t ItemType = 0;  // 0 item, 1 folder, 3..9 function kinds
  std::uint8_t ParentIndex = kNoIndex;
  std::uint8_t NextIndex = kNoIndex;
  std::uint8_t ChildIndex = kNoIndex;
  std::uint8_t Id = 0;  // 1-based record number, also the item's data slot
  std::uint8_t Flags = 0;
  std::uint8_t Attributes = 0;
  std::string Name;  // kind name, "MenuRoot", "Container" or "~N" for custom items
  std::uint8_t Group = kGroupMain;
  std::uint16_t DataOffset = 0;
  std::uint16_t DataLength = 0;
  bool HasData = false;
  std::uint8_t AllowSubitems = 0;

  bool operator==(const TMMAItem&) const = default;
};

// The items the model makes itself rather than reads from a record.
enum class RootOrigin { ReadFromFile, NewMenu };
TMMAItem SoftkeyContainerItem();  // "Container": folder, record 1, first softkey record 2
// "MenuRoot": record 9. A new menu numbers it 9 with its first item at record 10; a menu read
// from a file carries the reader's 10 and 0 until the renumbering sets its first item.
TMMAItem MenuRootItem(RootOrigin origin);

struct MenuNode;
class NodePool;

// A tree's nodes live in its own pool (a menu has a few hundred, made and dropped together
// when a menu is read or copied), so the owning pointer gives a node back to that pool.
struct NodeDeleter {
  NodePool* pool = nullptr;
  void operator()(MenuNode* node) const noexcept;
};
using NodePtr = std::unique_ptr<MenuNode, NodeDeleter>;
using NodeList = std::vector<NodePtr>;

struct MenuNode {
  MenuNode() noexcept {}  // built from the initializers, not zero-filled first

  std::string Text;
  TMMAItem Item;
  MenuNode* Parent = nullptr;  // nullptr for the two top-level nodes
  NodeList Children;

  bool HasChildren() const { return !Children.empty(); }
};

class MenuTree {
 public:
  MenuTree() noexcept;
  // Copies are deep: every node, text and item, with the copy's own parent links. A menu
  // has at most a few hundred nodes, so a copy is how a document is kept aside unchanged.
  MenuTree(const MenuTree& other);
  MenuTree& operator=(const MenuTree& other);
  // A move takes the nodes with the pool they live in.
  MenuTree(MenuTree&& other) noexcept;
  MenuTree& operator=(MenuTree&& other) noexcept;
  ~MenuTree();

  // Room for this many nodes in all before the pool asks for more memory.
  void Reserve(std::size_t nodes);

  bool Empty() const { return top_.empty(); }
  std::size_t Count() const;
  const NodeList& TopNodes() const { return top_; }

  // nullptr when pos is past the last node.
  MenuNode* NodeAt(std::size_t pos) const;
  std::size_t PositionOf(const MenuNode* node) const;

  // The two fixed top nodes, or nullptr while the tree does not have them.
  MenuNode* SoftkeyContainer() const { return top_.empty() ? nullptr : top_[0].get(); }
  MenuNode* MenuRoot() const { return top_.size() < 2 ? nullptr : top_[1].get(); }

  // parent == nullptr inserts at the top level. index is clamped to the run's length.
  MenuNode* Insert(MenuNode* parent, std::size_t index, std::string text, TMMAItem item);
  MenuNode* Append(MenuNode* parent, std::string text, TMMAItem item);
  // A node with an empty text and a default item, last in parent's run, for the caller to
  // fill in place.
  MenuNode* Append(MenuNode* parent);

  const NodeList& SiblingsOf(const MenuNode* node) const;
  std::size_t IndexOf(const MenuNode* node) const;
  MenuNode* PrevSibling(const MenuNode* node) const;
  MenuNode* NextSibling(const MenuNode* node) const;
  bool IsInSubtree(const MenuNode* node, const MenuNode* root) const;
  // Whether the pointer is one of this tree's nodes. Compares addresses only, so any pointer
  // value may be asked about.
  bool Contains(const MenuNode* node) const;

  void Remove(MenuNode* node);
  // Moves node (with its subtree) into parent's run at index, counted before the move.
  // Refused (returns false) when parent lies in node's own subtree.
  bool Move(MenuNode* node, MenuNode* parent, std::size_t index);
  void Clear() noexcept { top_.clear(); }

  // Visits every node in pre-order.
  void ForEach(const std::function<void(MenuNode&)>& visit) const;

 private:
  NodeList& RunOf(MenuNode* parent) { return parent ? parent->Children : top_; }
  NodePool& Pool();
  // Declared first, so that it goes after the nodes it holds.
  std::unique_ptr<NodePool> pool_;
  NodeList top_;
};

// Number of nodes below the node, all levels; 8-bit like the file's fields.
std::uint8_t CountDescendants(const MenuNode& node);

}  // namespace trellune
