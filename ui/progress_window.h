// TProgressWin: the small stay-on-top window with one progress bar that shows a phone
// transfer or a firmware scan. It has no close button; the operation closes it. It repaints
// at once on every change, because the operation runs on the window's thread.
#pragma once

#include <QDialog>

#include "p2k_api.h"

class QProgressBar;

namespace trellune::ui {

class ProgressWindow : public QDialog, public phone::Progress {
  Q_OBJECT
 public:
  explicit ProgressWindow(QWidget* owner);

  void Show() override;
  void Close() override;
  void SetCaption(const std::string& caption) override;
  std::string Caption() const override;
  void SetPercent(int percent) override;

  QProgressBar* Bar() const { return bar_; }

 private:
  QProgressBar* bar_;
};

}  // namespace trellune::ui
