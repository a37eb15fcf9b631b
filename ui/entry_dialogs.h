// The two small dialogs in which a title ("Name settings", TEntryForm1) or a text shown by the
// "Show text" function ("Text editor ", TEntryForm2) is typed with its language. Each kind
// remembers the language last chosen for the whole program run.
#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace trellune::ui {

class EntryDialog : public QDialog {
  Q_OBJECT
 public:
  enum class Kind { Name, Text };
  EntryDialog(Kind kind, QWidget* owner);

  // Prepares the dialog: an empty text for "Add"; a row's text and language for "Edit"
  // (the language's id text, such as "07"; one outside the table leaves the remembered one).
  void Prepare(const QString& text, const QString& languageIdText = {});
  QString Text() const;
  // The chosen row of the language table (0 for "English US").
  int LanguagePosition() const;
  // Whether the user picked a language in the list.
  bool LanguageChosen() const { return languageChosen_; }
  void SetText(const QString& text);
  void SetLanguagePosition(int position);

  // The remembered positions, one per kind.
  static int Remembered(Kind kind);
  static void ResetRemembered();

  void accept() override;

 private:
  void FocusText();
  Kind kind_;
  QComboBox* languages_;
  bool languageChosen_ = false;
  QLineEdit* name_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
};

}  // namespace trellune::ui
