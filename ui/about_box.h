// TAboutBox: the product's name and version.
#pragma once

#include <QDialog>

namespace trellune::ui {

inline constexpr const char* kVersionText = "Version 0.21 [fix]";

class AboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit AboutBox(QWidget* owner);
};

}  // namespace trellune::ui
