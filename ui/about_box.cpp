#include "about_box.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace trellune::ui {

AboutBox::AboutBox(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("TAboutBox"));
  setWindowTitle(tr("About"));
  auto* layout = new QVBoxLayout(this);
  auto* name = new QLabel(QStringLiteral("<b>Trellune</b>"), this);
  name->setObjectName(QStringLiteral("ProductName"));
  auto* version = new QLabel(QString::fromLatin1(kVersionText), this);
  version->setObjectName(QStringLiteral("Version"));
  auto* what = new QLabel(tr("Edits the main menu file (mma_ucp) of P2K phones."), this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  for (QWidget* w : {static_cast<QWidget*>(name), static_cast<QWidget*>(version),
                     static_cast<QWidget*>(what), static_cast<QWidget*>(buttons)})
    layout->addWidget(w);
}

}  // namespace trellune::ui
