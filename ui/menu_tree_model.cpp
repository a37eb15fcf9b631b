#include "menu_tree_model.h"

namespace trellune::ui {

MenuTreeModel::MenuTreeModel(MenuEditor& editor, QObject* parent)
    : QAbstractItemModel(parent), editor_(editor) {
  editor_.AddListener(this);
}

MenuTreeModel::~MenuTreeModel() {
  editor_.RemoveListener(this);
}

const MenuNode* MenuTreeModel::NodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<const MenuNode*>(index.internalPointer()) : nullptr;
}

QModelIndex MenuTreeModel::IndexOf(const MenuNode* node) const {
  if (!node || !editor_.Tree().Contains(node)) return {};
  return createIndex(int(editor_.Tree().IndexOf(node)), 0, const_cast<MenuNode*>(node));
}

QModelIndex MenuTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  const NodeList& run = parent.isValid() ? NodeOf(parent)->Children : editor_.Tree().TopNodes();
  if (std::size_t(row) >= run.size()) return {};
  return createIndex(row, 0, run[std::size_t(row)].get());
}

QModelIndex MenuTreeModel::parent(const QModelIndex& child) const {
  const MenuNode* node = NodeOf(child);
  return node ? IndexOf(node->Parent) : QModelIndex();
}

int MenuTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  return int(parent.isValid() ? NodeOf(parent)->Children.size() : editor_.Tree().TopNodes().size());
}

int MenuTreeModel::columnCount(const QModelIndex&) const {
  return 1;
}

QVariant MenuTreeModel::data(const QModelIndex& index, int role) const {
  const MenuNode* node = NodeOf(index);
  if (!node || role != Qt::DisplayRole) return {};
  // Node texts are kind names (8-bit, one character a byte) with their prefixes.
  return QString::fromLatin1(node->Text.data(), qsizetype(node->Text.size()));
}

Qt::ItemFlags MenuTreeModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractItemModel::flags(index);
  if (const MenuNode* node = NodeOf(index); node && editor_.CanDrag(node))
    flags |= Qt::ItemIsDragEnabled;
  return flags;
}

void MenuTreeModel::BeforeInsert(const MenuNode* parent, std::size_t row) {
  beginInsertRows(IndexOf(parent), int(row), int(row));
}

void MenuTreeModel::AfterInsert(const MenuNode&) {
  endInsertRows();
}

void MenuTreeModel::BeforeRemove(const MenuNode& node) {
  const int row = int(editor_.Tree().IndexOf(&node));
  beginRemoveRows(IndexOf(node.Parent), row, row);
}

void MenuTreeModel::AfterRemove(const MenuNode*, std::size_t) {
  endRemoveRows();
}

void MenuTreeModel::BeforeMove(const MenuNode& node, const MenuNode* toParent, std::size_t toRow) {
  const int row = int(editor_.Tree().IndexOf(&node));
  moveSignalled_ = beginMoveRows(IndexOf(node.Parent), row, row, IndexOf(toParent), int(toRow));
  if (!moveSignalled_) beginResetModel();  // a move Qt does not describe: show it whole
}

void MenuTreeModel::AfterMove(const MenuNode&) {
  if (moveSignalled_)
    endMoveRows();
  else
    endResetModel();
}

void MenuTreeModel::ItemChanged(const MenuNode& node) {
  const QModelIndex at = IndexOf(&node);
  Q_EMIT dataChanged(at, at);
}

void MenuTreeModel::BeforeReset() {
  beginResetModel();
}

void MenuTreeModel::AfterReset() {
  endResetModel();
}

}  // namespace trellune::ui
