// The menu tree as a Qt item model. It holds nothing of its own: every call reads the editor's
// tree (the model index points at the core's node), and the editor's change notifications
// become the matching model signals, so a view keeps its expanded folders and selection
// across edits.
#pragma once

#include <QAbstractItemModel>

#include "mma/menu_editor.h"

namespace trellune::ui {

class MenuTreeModel : public QAbstractItemModel, private MenuEditListener {
  Q_OBJECT
 public:
  explicit MenuTreeModel(MenuEditor& editor, QObject* parent = nullptr);
  ~MenuTreeModel() override;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  // Items of the main menu can be dragged; what a drop may do is the view's question.
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  const MenuNode* NodeOf(const QModelIndex& index) const;
  QModelIndex IndexOf(const MenuNode* node) const;

 private:
  void BeforeInsert(const MenuNode* parent, std::size_t row) override;
  void AfterInsert(const MenuNode& node) override;
  void BeforeRemove(const MenuNode& node) override;
  void AfterRemove(const MenuNode* parent, std::size_t row) override;
  void BeforeMove(const MenuNode& node, const MenuNode* toParent, std::size_t toRow) override;
  void AfterMove(const MenuNode& node) override;
  void ItemChanged(const MenuNode& node) override;
  void BeforeReset() override;
  void AfterReset() override;

  MenuEditor& editor_;
  bool moveSignalled_ = false;  // beginMoveRows accepted the move being made
};

}  // namespace trellune::ui
