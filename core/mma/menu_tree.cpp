#include "mma/menu_tree.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <stdexcept>

namespace trellune {

// Nodes are carved from chunks, and a node given back is kept on a free list for the next:
// a tree takes memory a chunk at a time rather than a node at a time, and an editing session
// that adds and deletes items, or undoes and redoes, reuses the slots it freed. The chunks
// go with the tree.
class NodePool {
 public:
  MenuNode* Make() {
    Slot* slot = free_;
    if (slot) {
      free_ = slot->next;
    } else {
      if (used_ == chunkSize_) AddChunk(std::clamp<std::size_t>(chunkSize_ * 2, 16, 256));
      slot = &chunks_.back()[used_++];
    }
    return ::new (static_cast<void*>(slot->node)) MenuNode();
  }

  void Release(MenuNode* node) noexcept {
    node->~MenuNode();
    Slot* slot = reinterpret_cast<Slot*>(node);
    slot->next = free_;
    free_ = slot;
  }

  // Makes sure the next `nodes` nodes come without another chunk.
  void Reserve(std::size_t nodes) {
    std::size_t room = chunkSize_ - used_;
    for (Slot* s = free_; s && room < nodes; s = s->next) ++room;
    if (room < nodes) AddChunk(std::max<std::size_t>(nodes - room, 16));
  }

 private:
  union Slot {
    Slot* next;
    alignas(MenuNode) std::byte node[sizeof(MenuNode)];
  };

  // The unused end of the current chunk goes on the free list before the next chunk opens.
  void AddChunk(std::size_t size) {
    std::unique_ptr<Slot[]> chunk(new Slot[size]);
    for (; used_ < chunkSize_; ++used_) {
      Slot* slot = &chunks_.back()[used_];
      slot->next = free_;
      free_ = slot;
    }
    chunks_.push_back(std::move(chunk));
    chunkSize_ = size;
    used_ = 0;
  }

  std::vector<std::unique_ptr<Slot[]>> chunks_;
  std::size_t chunkSize_ = 0;
  std::size_t used_ = 0;  // slots of the last chunk handed out so far
  Slot* free_ = nullptr;
};

void NodeDeleter::operator()(MenuNode* node) const noexcept {
  pool->Release(node);
}

namespace {

std::size_t CountAll(const NodeList& run) {
  std::size_t n = run.size();
  for (const auto& child : run) n += CountAll(child->Children);
  return n;
}

MenuNode* FindAt(const NodeList& run, std::size_t& pos) {
  for (const auto& node : run) {
    if (pos == 0) return node.get();
    --pos;
    if (MenuNode* found = FindAt(node->Children, pos)) return found;
  }
  return nullptr;
}

bool FindPosition(const NodeList& run, const MenuNode* target, std::size_t& pos) {
  for (const auto& node : run) {
    if (node.get() == target) return true;
    ++pos;
    if (FindPosition(node->Children, target, pos)) return true;
  }
  return false;
}

void Visit(const NodeList& run, const std::function<void(MenuNode&)>& visit) {
  for (const auto& node : run) {
    visit(*node);
    Visit(node->Children, visit);
  }
}

void CopyRun(const NodeList& from, NodeList& to, MenuNode* parent, NodePool& pool) {
  to.reserve(from.size());
  for (const auto& node : from) {
    NodePtr copy(pool.Make(), NodeDeleter{&pool});
    copy->Text = node->Text;
    copy->Item = node->Item;
    copy->Parent = parent;
    CopyRun(node->Children, copy->Children, copy.get(), pool);
    to.push_back(std::move(copy));
  }
}

bool ContainsIn(const NodeList& run, const MenuNode* target) {
  for (const auto& node : run)
    if (node.get() == target || ContainsIn(node->Children, target)) return true;
  return false;
}

}  // namespace

TMMAItem SoftkeyContainerItem() {
  TMMAItem item;
  item.Name = "Container";
  item.ItemType = 1;
  item.ParentIndex = 1;
  item.NextIndex = 2;
  item.ChildIndex = kNoIndex;
  item.Id = 2;
  item.Group = kGroupSoftkeys;
  item.AllowSubitems = 1;
  return item;
}

TMMAItem MenuRootItem(RootOrigin origin) {
  TMMAItem item;
  item.Name = "MenuRoot";
  item.ItemType = 1;
  item.ParentIndex = kNoIndex;
  item.NextIndex = kNoIndex;
  item.ChildIndex = origin == RootOrigin::NewMenu ? 10 : 0;
  item.Id = origin == RootOrigin::NewMenu ? 9 : 10;
  item.Group = kGroupMain;
  item.AllowSubitems = 1;
  return item;
}

MenuTree::MenuTree() noexcept = default;
MenuTree::~MenuTree() = default;

MenuTree::MenuTree(const MenuTree& other) {
  Reserve(other.Count());
  CopyRun(other.top_, top_, nullptr, Pool());
}

MenuTree& MenuTree::operator=(const MenuTree& other) {
  if (this != &other) {
    // The copy is made before the old nodes go, so a failed copy leaves the tree whole.
    NodeList copy;
    CopyRun(other.top_, copy, nullptr, Pool());
    top_ = std::move(copy);
  }
  return *this;
}

MenuTree::MenuTree(MenuTree&& other) noexcept
    : pool_(std::move(other.pool_)), top_(std::move(other.top_)) {
  other.top_.clear();
}

MenuTree& MenuTree::operator=(MenuTree&& other) noexcept {
  if (this != &other) {
    top_.clear();  // the old nodes go back to the old pool while it is still there
    pool_ = std::move(other.pool_);
    top_ = std::move(other.top_);
    other.top_.clear();
  }
  return *this;
}

NodePool& MenuTree::Pool() {
  if (!pool_) pool_ = std::make_unique<NodePool>();
  return *pool_;
}

void MenuTree::Reserve(std::size_t nodes) {
  Pool().Reserve(nodes);
}

bool MenuTree::Contains(const MenuNode* node) const {
  return node && ContainsIn(top_, node);
}

std::size_t MenuTree::Count() const {
  return CountAll(top_);
}

MenuNode* MenuTree::NodeAt(std::size_t pos) const {
  return FindAt(top_, pos);
}

std::size_t MenuTree::PositionOf(const MenuNode* node) const {
  std::size_t pos = 0;
  if (!FindPosition(top_, node, pos)) throw std::logic_error("node is not in the tree");
  return pos;
}

MenuNode* MenuTree::Insert(MenuNode* parent, std::size_t index, std::string text, TMMAItem item) {
  NodePool& pool = Pool();
  NodePtr node(pool.Make(), NodeDeleter{&pool});
  node->Text = std::move(text);
  node->Item = std::move(item);
  node->Parent = parent;
  NodeList& run = RunOf(parent);
  index = std::min(index, run.size());
  MenuNode* raw = node.get();
  run.insert(run.begin() + static_cast<std::ptrdiff_t>(index), std::move(node));
  return raw;
}

MenuNode* MenuTree::Append(MenuNode* parent, std::string text, TMMAItem item) {
  MenuNode* node = Append(parent);
  node->Text = std::move(text);
  node->Item = std::move(item);
  return node;
}

MenuNode* MenuTree::Append(MenuNode* parent) {
  NodePool& pool = Pool();
  NodePtr node(pool.Make(), NodeDeleter{&pool});
  node->Parent = parent;
  return RunOf(parent).emplace_back(std::move(node)).get();
}

const NodeList& MenuTree::SiblingsOf(const MenuNode* node) const {
  return node->Parent ? node->Parent->Children : top_;
}

std::size_t MenuTree::IndexOf(const MenuNode* node) const {
  const NodeList& run = SiblingsOf(node);
  for (std::size_t i = 0; i < run.size(); ++i)
    if (run[i].get() == node) return i;
  throw std::logic_error("node is not in its parent's run");
}

MenuNode* MenuTree::PrevSibling(const MenuNode* node) const {
  std::size_t i = IndexOf(node);
  return i == 0 ? nullptr : SiblingsOf(node)[i - 1].get();
}

MenuNode* MenuTree::NextSibling(const MenuNode* node) const {
  const NodeList& run = SiblingsOf(node);
  std::size_t i = IndexOf(node);
  return i + 1 < run.size() ? run[i + 1].get() : nullptr;
}

bool MenuTree::IsInSubtree(const MenuNode* node, const MenuNode* root) const {
  for (const MenuNode* n = node; n; n = n->Parent)
    if (n == root) return true;
  return false;
}

void MenuTree::Remove(MenuNode* node) {
  NodeList& run = RunOf(node->Parent);
  run.erase(run.begin() + static_cast<std::ptrdiff_t>(IndexOf(node)));
}

bool MenuTree::Move(MenuNode* node, MenuNode* parent, std::size_t index) {
  if (parent && IsInSubtree(parent, node)) return false;
  NodeList& from = RunOf(node->Parent);
  std::size_t at = IndexOf(node);
  NodePtr owned = std::move(from[at]);
  from.erase(from.begin() + static_cast<std::ptrdiff_t>(at));
  NodeList& to = RunOf(parent);
  if (&from == &to && index > at) --index;
  index = std::min(index, to.size());
  owned->Parent = parent;
  to.insert(to.begin() + static_cast<std::ptrdiff_t>(index), std::move(owned));
  return true;
}

void MenuTree::ForEach(const std::function<void(MenuNode&)>& visit) const {
  Visit(top_, visit);
}

std::uint8_t CountDescendants(const MenuNode& node) {
  std::uint8_t n = 0;
  for (const auto& child : node.Children) n = std::uint8_t(n + 1 + CountDescendants(*child));
  return n;
}

}  // namespace trellune
