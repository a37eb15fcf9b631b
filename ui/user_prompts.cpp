#include "user_prompts.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

namespace trellune::ui {
namespace {

QMessageBox::Icon IconOf(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Error:
      return QMessageBox::Critical;
    case MessageIcon::Question:
      return QMessageBox::Question;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

QString DisplayText(const std::string& text) {
  QString shown = QString::fromUtf8(text.data(), qsizetype(text.size()));
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

void DialogPrompts::Show(QWidget* owner, const UserMessage& message) {
  QMessageBox box(IconOf(message.icon), DisplayText(message.caption), DisplayText(message.text),
                  QMessageBox::Ok, owner);
  box.exec();
}

bool DialogPrompts::Ask(QWidget* owner, const UserMessage& question) {
  QMessageBox box(IconOf(question.icon), DisplayText(question.caption), DisplayText(question.text),
                  QMessageBox::Yes | QMessageBox::No, owner);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

int DialogPrompts::Choose(QWidget* owner, const UserMessage& question, const QStringList& buttons) {
  QMessageBox box(IconOf(question.icon), DisplayText(question.caption), DisplayText(question.text),
                  QMessageBox::NoButton, owner);
  std::vector<QPushButton*> made;
  for (const QString& text : buttons) {
    // A "Cancel" is what Escape and the window's close button choose; the others need a click.
    const bool cancel = text == QStringLiteral("Cancel");
    made.push_back(box.addButton(text, cancel ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    if (cancel) box.setEscapeButton(made.back());
  }
  if (!made.empty()) box.setDefaultButton(made.front());
  box.exec();
  for (std::size_t i = 0; i < made.size(); ++i)
    if (box.clickedButton() == made[i]) return int(i);
  return int(made.size()) - 1;
}

QString DialogPrompts::OpenFileName(QWidget* owner, const QString& title, const QString& filter) {
  return QFileDialog::getOpenFileName(owner, title, QString(), filter);
}

QString DialogPrompts::SaveFileName(QWidget* owner, const QString& title, const QString& filter) {
  return QFileDialog::getSaveFileName(owner, title, QString(), filter);
}

int DialogPrompts::Exec(QDialog& dialog) {
  return dialog.exec();
}

}  // namespace trellune::ui
