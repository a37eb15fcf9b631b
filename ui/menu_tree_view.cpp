#include "menu_tree_view.h"

#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QMimeData>
#include <QMouseEvent>

#include "mma/menu_tree.h"

namespace trellune::ui {

QMimeData* KindDragData(int index, const QString& displayName) {
  auto* data = new QMimeData;
  data->setData(QString::fromLatin1(kKindMime),
                (QString::number(index) + QLatin1Char('\n') + displayName).toUtf8());
  return data;
}

MenuTreeView::MenuTreeView(QWidget* parent) : QTreeView(parent) {
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(false);
  setDragDropMode(QAbstractItemView::DragDrop);
}

void MenuTreeView::startDrag(Qt::DropActions) {
  const MenuNode* node = handler_.nodeOf ? handler_.nodeOf(currentIndex()) : nullptr;
  if (!node) return;
  auto* data = new QMimeData;
  data->setData(QString::fromLatin1(kNodeMime),
                QByteArray::number(qulonglong(handler_.positionOf(node))));
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  if (runDrag_)
    runDrag_(*drag);
  else
    drag->exec(Qt::MoveAction);
}

bool MenuTreeView::Allowed(const QMimeData* data, const QPoint& at, const MenuNode** target) const {
  *target = handler_.nodeOf ? handler_.nodeOf(indexAt(at)) : nullptr;
  if (!*target || !data) return false;
  if (data->hasFormat(QString::fromLatin1(kNodeMime))) {
    const std::size_t position = data->data(QString::fromLatin1(kNodeMime)).toULongLong();
    return handler_.canDropNode(handler_.nodeAt(position), *target);
  }
  if (data->hasFormat(QString::fromLatin1(kKindMime))) {
    const QString kind = QString::fromUtf8(data->data(QString::fromLatin1(kKindMime)));
    return handler_.canDropKind(kind.section(QLatin1Char('\n'), 0, 0).toInt(), *target);
  }
  return false;
}

void MenuTreeView::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* data = event->mimeData();
  if (data->hasFormat(QString::fromLatin1(kNodeMime)) ||
      data->hasFormat(QString::fromLatin1(kKindMime)))
    event->acceptProposedAction();
  else
    event->ignore();  // files and the like go to the window
}

void MenuTreeView::dragMoveEvent(QDragMoveEvent* event) {
  const MenuNode* target = nullptr;
  if (!Allowed(event->mimeData(), event->position().toPoint(), &target)) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  // A folder hovered over opens, and is remembered to be closed again after the drop.
  const QModelIndex at = indexAt(event->position().toPoint());
  if (model()->hasChildren(at) && !isExpanded(at)) {
    expand(at);
    expanded_.emplace_back(at);
  }
}

void MenuTreeView::dropEvent(QDropEvent* event) {
  const MenuNode* target = nullptr;
  const QMimeData* data = event->mimeData();
  if (!Allowed(data, event->position().toPoint(), &target)) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  const MenuNode* dropped = nullptr;
  if (data->hasFormat(QString::fromLatin1(kNodeMime))) {
    dropped = handler_.nodeAt(data->data(QString::fromLatin1(kNodeMime)).toULongLong());
    handler_.dropNode(dropped, target);
  } else {
    const QString kind = QString::fromUtf8(data->data(QString::fromLatin1(kKindMime)));
    handler_.dropKind(kind.section(QLatin1Char('\n'), 0, 0).toInt(), target);
    dropped = handler_.nodeOf(currentIndex());  // the new item is selected
  }
  CollapseAfterDrop(dropped);
}

// The folders opened while hovering close again, with all their descendants, but for those
// the dropped item lies in.
void MenuTreeView::CollapseAfterDrop(const MenuNode* dropped) {
  std::function<void(const QModelIndex&)> collapseAll = [&](const QModelIndex& parent) {
    for (int r = 0; r < model()->rowCount(parent); ++r) {
      const QModelIndex child = model()->index(r, 0, parent);
      collapse(child);
      collapseAll(child);
    }
  };
  for (const QPersistentModelIndex& folder : expanded_) {
    if (!folder.isValid() || !isExpanded(folder)) continue;
    const MenuNode* node = handler_.nodeOf(folder);
    bool holdsDropped = false;
    for (const MenuNode* n = dropped; n && !holdsDropped; n = n->Parent) holdsDropped = n == node;
    if (holdsDropped) continue;
    collapse(folder);
    collapseAll(folder);
  }
  expanded_.clear();
}

KindListBox::KindListBox(QWidget* parent) : QComboBox(parent) {}

void KindListBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QComboBox::mousePressEvent(event);
  pressed_ = true;
  pressedAt_ = event->position().toPoint();
  event->accept();
}

void KindListBox::mouseMoveEvent(QMouseEvent* event) {
  if (!pressed_ || currentIndex() < 0 ||
      (event->position().toPoint() - pressedAt_).manhattanLength() <
          QApplication::startDragDistance())
    return QComboBox::mouseMoveEvent(event);
  pressed_ = false;
  auto* drag = new QDrag(this);
  drag->setMimeData(KindDragData(currentIndex(), currentText()));
  drag->exec(Qt::CopyAction);
}

void KindListBox::mouseReleaseEvent(QMouseEvent* event) {
  if (pressed_ && event->button() == Qt::LeftButton) {
    pressed_ = false;
    showPopup();
    return;
  }
  QComboBox::mouseReleaseEvent(event);
}

}  // namespace trellune::ui
