// TPicViewer, "Picture Picker": the phone's GIF pictures as a folder tree under "Phone" with
// the chosen folder's files and sizes beside it; OK gives back the chosen file's full path.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

#include "p2k_api.h"

class QLabel;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;
class QTableWidget;

namespace trellune::ui {

class PictureView;

class PicturePicker : public QDialog {
  Q_OBJECT
 public:
  // `readPicture` gives a picture's bytes for the preview, or nothing.
  PicturePicker(QWidget* owner,
                std::function<std::optional<QByteArray>(const QString&)> readPicture = {});

  // Fills the folder tree from the first `count` entries of a picture list.
  void LoadPicData(const std::vector<phone::P2kFileEntry>& list, std::size_t count);
  // The result of the last OK (empty after Cancel or when no file was clicked).
  QString ChosenPicturePath() const { return chosen_; }

  // What a click on a folder and on a file does.
  void TntTreeView1Click();
  void TntListView1Click();

 private:
  QString PathOf(const QTreeWidgetItem* node) const;
  std::uint32_t SizeOf(const QString& path) const;

  QTreeWidget* tree_;    // TntTreeView1
  QTableWidget* files_;  // TntListView1
  QLineEdit* path_;      // TntEdit1
  PictureView* preview_;
  std::vector<phone::P2kFileEntry> list_;
  QString chosen_;
};

}  // namespace trellune::ui
