#include "progress_window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QProgressBar>
#include <QVBoxLayout>

namespace trellune::ui {

ProgressWindow::ProgressWindow(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowStaysOnTopHint),
      bar_(new QProgressBar(this)) {
  setObjectName(QStringLiteral("TProgressWin"));
  bar_->setObjectName(QStringLiteral("ProgressBar1"));
  bar_->setRange(0, 100);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(bar_);
  resize(341, 66);
  setModal(false);
}

void ProgressWindow::Show() {
  if (QWidget* owner = parentWidget())
    move(owner->geometry().center() - QPoint(width() / 2, height() / 2));
  show();
  if (QGuiApplication::platformName() != QStringLiteral("offscreen")) raise();
  repaint();
}

void ProgressWindow::Close() {
  hide();
}

void ProgressWindow::SetCaption(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
}

std::string ProgressWindow::Caption() const {
  return windowTitle().toStdString();
}

void ProgressWindow::SetPercent(int percent) {
  bar_->setValue(percent);
  if (isVisible()) bar_->repaint();
}

}  // namespace trellune::ui
