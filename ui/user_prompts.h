// Every message box, question and file dialog of the window goes through UserPrompts, so the
// window's logic never blocks on a modal dialog of its own: the program shows real dialogs,
// tests answer from a script.
#pragma once

#include <QString>
#include <QStringList>

#include "messages.h"

class QDialog;
class QWidget;

namespace trellune::ui {

class UserPrompts {
 public:
  virtual ~UserPrompts() = default;
  // A message box with its text, caption and icon, and an OK button.
  virtual void Show(QWidget* owner, const UserMessage& message) = 0;
  // A question with Yes and No buttons; true for Yes.
  virtual bool Ask(QWidget* owner, const UserMessage& question) = 0;
  // A question whose buttons name their actions ("Save", "Discard"); the index of the one
  // chosen. The first is the default.
  virtual int Choose(QWidget* owner, const UserMessage& question, const QStringList& buttons) = 0;
  // A file dialog for an existing file, or for a file to write; empty when cancelled.
  // `filter` in Qt's form: "CG1 binaries (*.bin *.smg);;All files (*)".
  virtual QString OpenFileName(QWidget* owner, const QString& title, const QString& filter) = 0;
  virtual QString SaveFileName(QWidget* owner, const QString& title, const QString& filter) = 0;
  // Shows one of the program's own modal dialogs (the about box, the item properties) and
  // returns its result (QDialog::Accepted or Rejected).
  virtual int Exec(QDialog& dialog) = 0;
};

// The real dialogs: QMessageBox and QFileDialog.
class DialogPrompts : public UserPrompts {
 public:
  void Show(QWidget* owner, const UserMessage& message) override;
  bool Ask(QWidget* owner, const UserMessage& question) override;
  int Choose(QWidget* owner, const UserMessage& question, const QStringList& buttons) override;
  QString OpenFileName(QWidget* owner, const QString& title, const QString& filter) override;
  QString SaveFileName(QWidget* owner, const QString& title, const QString& filter) override;
  int Exec(QDialog& dialog) override;
};

// A message's text as a dialog shows it: the CR LF inside the program's texts is one line
// break, and 8-bit texts from files are Latin-1.
QString DisplayText(const std::string& text);

}  // namespace trellune::ui
