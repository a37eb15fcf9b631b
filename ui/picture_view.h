// A preview of a phone picture: the picture itself, animated when it is an animated GIF, or a
// neutral placeholder when there is no phone or the picture cannot be read.
#pragma once

#include <QLabel>
#include <optional>

class QBuffer;
class QMovie;

namespace trellune::ui {

class PictureView : public QLabel {
  Q_OBJECT
 public:
  explicit PictureView(QWidget* parent);
  ~PictureView() override;
  // Shows these bytes as a picture, or the placeholder for nothing or bytes that are none.
  void ShowPicture(const std::optional<QByteArray>& bytes);
  void Stop();
  bool ShowsPicture() const { return showsPicture_; }
  bool Animates() const;

 private:
  void ShowPlaceholder();
  QByteArray bytes_;
  QBuffer* buffer_ = nullptr;
  QMovie* movie_ = nullptr;
  bool showsPicture_ = false;
};

}  // namespace trellune::ui
