// TreeView1 and ComboBox1 as drag sources and drop target. A drag carries data of the
// program's own types: a node of the tree (its position) or a kind of the list (its index and
// display name), so a drag from another program is refused. Whether a drop may happen, and
// what it does, is asked of the window, which asks the editing layer.
#pragma once

#include <QComboBox>
#include <QDrag>
#include <QPersistentModelIndex>
#include <QTreeView>
#include <functional>
#include <vector>

namespace trellune {
struct MenuNode;
}

namespace trellune::ui {

inline constexpr const char* kNodeMime = "application/x-trellune-menu-node";
inline constexpr const char* kKindMime = "application/x-trellune-menu-kind";

// What the view asks of its owner during a drag.
struct DropHandler {
  std::function<const MenuNode*(const QModelIndex&)> nodeOf;
  std::function<const MenuNode*(std::size_t position)> nodeAt;
  std::function<std::size_t(const MenuNode*)> positionOf;
  std::function<bool(const MenuNode* dragged, const MenuNode* target)> canDropNode;
  std::function<bool(int kind, const MenuNode* target)> canDropKind;
  std::function<void(const MenuNode* dragged, const MenuNode* target)> dropNode;
  std::function<void(int kind, const MenuNode* target)> dropKind;
};

class MenuTreeView : public QTreeView {
  Q_OBJECT
 public:
  explicit MenuTreeView(QWidget* parent);
  void SetDropHandler(DropHandler handler) { handler_ = std::move(handler); }
  // Runs a drag that started in the view; by default Qt's own drag loop (QDrag::exec). Tests
  // take the drag's data from here instead of waiting in that loop.
  void SetDragRunner(std::function<void(QDrag&)> runner) { runDrag_ = std::move(runner); }
  // The nodes opened by hovering during the current drag (DragExpandedNodes).
  const std::vector<QPersistentModelIndex>& DragExpandedNodes() const { return expanded_; }

 protected:
  void startDrag(Qt::DropActions actions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The node under the pointer, and whether what is dragged may be dropped on it.
  bool Allowed(const QMimeData* data, const QPoint& at, const MenuNode** target) const;
  void CollapseAfterDrop(const MenuNode* dropped);

  DropHandler handler_;
  std::function<void(QDrag&)> runDrag_;
  std::vector<QPersistentModelIndex> expanded_;
};

// "Available mma items": a kind can be dragged from it onto the tree. A click without a drag
// opens its list as usual.
class KindListBox : public QComboBox {
  Q_OBJECT
 public:
  explicit KindListBox(QWidget* parent);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QPoint pressedAt_;
  bool pressed_ = false;
};

// The data a drag of a kind carries.
QMimeData* KindDragData(int index, const QString& displayName);

}  // namespace trellune::ui
