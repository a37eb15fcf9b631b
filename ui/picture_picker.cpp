#include "picture_picker.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "picture_view.h"

namespace trellune::ui {
namespace {
constexpr int kFilesRole = Qt::UserRole + 1;  // a folder's file names, in the order met
}

PicturePicker::PicturePicker(QWidget* owner,
                             std::function<std::optional<QByteArray>(const QString&)> readPicture)
    : QDialog(owner) {
  setObjectName(QStringLiteral("TPicViewer"));
  setWindowTitle(QStringLiteral("Picture Picker"));
  tree_ = new QTreeWidget(this);
  tree_->setObjectName(QStringLiteral("TntTreeView1"));
  tree_->setHeaderHidden(true);
  tree_->setMinimumSize(193, 337);
  files_ = new QTableWidget(0, 2, this);
  files_->setObjectName(QStringLiteral("TntListView1"));
  files_->setHorizontalHeaderLabels({QStringLiteral("File"), QStringLiteral("File Size")});
  files_->horizontalHeader()->setSectionsClickable(false);
  files_->setColumnWidth(0, 190);
  files_->setColumnWidth(1, 60);
  files_->verticalHeader()->hide();
  files_->verticalHeader()->setDefaultSectionSize(files_->fontMetrics().height() + 6);
  // Both columns fit without scrolling; the folder tree takes what is left.
  files_->setMinimumWidth(190 + 60 + 2 * files_->frameWidth() +
                          files_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2);
  files_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  files_->setSelectionBehavior(QAbstractItemView::SelectRows);
  files_->setSelectionMode(QAbstractItemView::SingleSelection);
  files_->setShowGrid(true);
  auto* label = new QLabel(QStringLiteral("Icon path:"), this);
  label->setObjectName(QStringLiteral("TntLabel1"));
  path_ = new QLineEdit(this);
  path_->setObjectName(QStringLiteral("TntEdit1"));
  path_->setReadOnly(true);
  path_->setBackgroundRole(QPalette::Button);
  preview_ = new PictureView(this);
  preview_->setObjectName(QStringLiteral("Preview"));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("TntButton1"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("TntButton2"));

  auto* top = new QHBoxLayout;
  top->addWidget(tree_);
  top->addWidget(files_, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(label);
  bottom->addWidget(path_, 1);
  bottom->addWidget(preview_);
  bottom->addWidget(ok);
  bottom->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(bottom);
  resize(514, 446);

  connect(tree_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) {
            // Selecting a folder opens it and closes the branch that was chosen before.
            auto isAncestorOf = [](QTreeWidgetItem* a, QTreeWidgetItem* n) {
              for (; n; n = n->parent())
                if (n == a) return true;
              return false;
            };
            for (QTreeWidgetItem* p = previous; p && p->parent(); p = p->parent())
              if (!isAncestorOf(p, current)) p->setExpanded(false);
            TntTreeView1Click();
          });
  connect(files_, &QTableWidget::itemSelectionChanged, this, [this, readPicture] {
    TntListView1Click();
    if (readPicture && !path_->text().isEmpty()) preview_->ShowPicture(readPicture(path_->text()));
  });
  connect(ok, &QPushButton::clicked, this, [this] {
    chosen_ = path_->text();
    accept();
  });
  connect(cancel, &QPushButton::clicked, this, [this] {
    chosen_.clear();
    reject();
  });
}

void PicturePicker::LoadPicData(const std::vector<phone::P2kFileEntry>& list, std::size_t count) {
  list_.assign(list.begin(), list.begin() + std::ptrdiff_t(std::min(count, list.size())));
  tree_->clear();
  auto* root = new QTreeWidgetItem(tree_, {QStringLiteral("Phone")});
  for (const phone::P2kFileEntry& entry : list_) {
    // One character per byte; "/a/mobile/picture/x.gif" -> a, mobile, picture, then x.gif.
    QString path = QString::fromLatin1(entry.Path().data(), qsizetype(entry.Path().size()));
    path.remove(0, 1);
    QStringList parts = path.split(QRegularExpression(QStringLiteral("[/\\\\:]")));
    if (parts.isEmpty() || (parts.size() == 1 && parts[0].isEmpty())) continue;
    const QString file = parts.takeLast();
    QTreeWidgetItem* node = root;
    for (const QString& folder : parts) {
      QTreeWidgetItem* child = nullptr;
      for (int i = 0; i < node->childCount() && !child; ++i)
        if (node->child(i)->text(0) == folder) child = node->child(i);
      if (!child) child = new QTreeWidgetItem(node, {folder});
      node = child;
    }
    QStringList files = node->data(0, kFilesRole).toStringList();
    files << file;
    node->setData(0, kFilesRole, files);
  }
  tree_->sortItems(0, Qt::AscendingOrder);
  root->setExpanded(true);
}

QString PicturePicker::PathOf(const QTreeWidgetItem* node) const {
  QString path;
  for (; node && node->parent(); node = node->parent())
    path.prepend(QLatin1Char('/') + node->text(0));
  return path;
}

std::uint32_t PicturePicker::SizeOf(const QString& path) const {
  for (const phone::P2kFileEntry& entry : list_)
    if (QString::fromLatin1(entry.Path().data(), qsizetype(entry.Path().size())) == path)
      return entry.FileSize;
  return 0;
}

void PicturePicker::TntTreeView1Click() {
  QTreeWidgetItem* node = tree_->currentItem();
  if (!node) return;
  files_->setRowCount(0);
  path_->clear();
  if (!node->parent()) {  // the root "Phone" lists nothing
    const QSignalBlocker block(tree_);
    tree_->setCurrentItem(nullptr);
    return;
  }
  node->setExpanded(true);
  const QString folder = PathOf(node);
  for (const QString& name : node->data(0, kFilesRole).toStringList()) {
    const int row = files_->rowCount();
    files_->insertRow(row);
    files_->setItem(row, 0, new QTableWidgetItem(name));
    files_->setItem(row, 1, new QTableWidgetItem(QString::number(SizeOf(folder + '/' + name))));
  }
}

void PicturePicker::TntListView1Click() {
  const QList<QTableWidgetItem*> selected = files_->selectedItems();
  QTreeWidgetItem* node = tree_->currentItem();
  if (selected.isEmpty() || !node) return;
  path_->setText(PathOf(node) + '/' + files_->item(selected.front()->row(), 0)->text());
}

}  // namespace trellune::ui
