#include "picture_view.h"

#include <QBuffer>
#include <QMovie>
#include <QPainter>
#include <QPixmap>

namespace trellune::ui {

PictureView::PictureView(QWidget* parent) : QLabel(parent) {
  setFixedSize(48, 48);
  setAlignment(Qt::AlignCenter);
  setFrameShape(QFrame::StyledPanel);
  ShowPlaceholder();
}

PictureView::~PictureView() {
  Stop();
}

void PictureView::Stop() {
  if (movie_) {
    movie_->stop();
    setMovie(nullptr);
    delete movie_;
    movie_ = nullptr;
  }
  delete buffer_;
  buffer_ = nullptr;
}

void PictureView::ShowPlaceholder() {
  Stop();
  showsPicture_ = false;
  QPixmap placeholder(40, 40);
  placeholder.fill(Qt::transparent);
  QPainter p(&placeholder);
  p.setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DashLine));
  p.drawRect(2, 2, 35, 35);
  p.drawLine(2, 37, 37, 2);
  setPixmap(placeholder);
}

void PictureView::ShowPicture(const std::optional<QByteArray>& bytes) {
  if (!bytes) return ShowPlaceholder();
  Stop();
  bytes_ = *bytes;
  buffer_ = new QBuffer(&bytes_);
  buffer_->open(QIODevice::ReadOnly);
  movie_ = new QMovie(buffer_, QByteArray(), this);
  if (!movie_->isValid()) return ShowPlaceholder();
  movie_->setScaledSize(QSize(40, 40));
  setMovie(movie_);
  movie_->start();
  showsPicture_ = true;
}

bool PictureView::Animates() const {
  return movie_ && movie_->frameCount() > 1 && movie_->state() == QMovie::Running;
}

}  // namespace trellune::ui
