#include "entry_dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "itemdata/item_codec.h"
#include "itemdata/language_table.h"

namespace trellune::ui {
namespace {

int rememberedName = 0;
int rememberedText = 0;

// The "Text editor " box: Enter closes the dialog instead of starting a new line, and no more
// characters than a row holds can be typed or pasted.
class TextBox : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      event->ignore();
      return;
    }
    QPlainTextEdit::keyPressEvent(event);
    Trim();
  }
  void insertFromMimeData(const QMimeData* source) override {
    QPlainTextEdit::insertFromMimeData(source);
    Trim();
  }

 private:
  void Trim() {
    const QString text = toPlainText();
    if (text.size() <= qsizetype(kMaxRowUnits)) return;
    setPlainText(text.left(qsizetype(kMaxRowUnits)));
    moveCursor(QTextCursor::End);
  }
};

}  // namespace

EntryDialog::EntryDialog(Kind kind, QWidget* owner) : QDialog(owner), kind_(kind) {
  const bool name = kind == Kind::Name;
  setObjectName(QString::fromLatin1(name ? "TEntryForm1" : "TEntryForm2"));
  setWindowTitle(QString::fromLatin1(name ? "Name settings" : "Text editor "));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Select language"), this));
  languages_ = new QComboBox(this);
  languages_->setObjectName(QStringLiteral("Language"));
  for (const LanguageRow& row : LanguageTable())
    languages_->addItem(QString::fromLatin1(row.name.data(), qsizetype(row.name.size())));
  layout->addWidget(languages_);
  layout->addWidget(
      new QLabel(QString::fromLatin1(name ? "Type in new name" : "Type in text"), this));
  if (name) {
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("Name"));
    name_->setMaxLength(int(kMaxRowUnits));
    layout->addWidget(name_);
    resize(341, 152);
  } else {
    text_ = new TextBox(this);
    text_->setObjectName(QStringLiteral("Text"));
    layout->addWidget(text_, 1);
    resize(341, 237);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  // Choosing a language moves on to the text.
  connect(languages_, &QComboBox::activated, this, [this] {
    languageChosen_ = true;
    FocusText();
  });
  languages_->setCurrentIndex(Remembered(kind_));
  // The text is what the dialog is for: it has the focus when the dialog opens, so a title
  // can be typed at once.
  FocusText();
}

void EntryDialog::FocusText() {
  if (name_) name_->setFocus();
  if (text_) text_->setFocus();
}

void EntryDialog::Prepare(const QString& text, const QString& languageIdText) {
  SetText(text);
  if (!languageIdText.isEmpty()) {
    const std::size_t p = trellune::LanguagePosition(languageIdText.toStdString());
    if (p < kLanguageCount) (kind_ == Kind::Name ? rememberedName : rememberedText) = int(p);
  }
  languages_->setCurrentIndex(Remembered(kind_));
}

QString EntryDialog::Text() const {
  return name_ ? name_->text() : text_->toPlainText();
}

void EntryDialog::SetText(const QString& text) {
  if (name_) name_->setText(text.left(qsizetype(kMaxRowUnits)));
  if (text_) text_->setPlainText(text.left(qsizetype(kMaxRowUnits)));
}

int EntryDialog::LanguagePosition() const {
  return languages_->currentIndex();
}

void EntryDialog::SetLanguagePosition(int position) {
  languages_->setCurrentIndex(position);
  languageChosen_ = true;
}

int EntryDialog::Remembered(Kind kind) {
  return kind == Kind::Name ? rememberedName : rememberedText;
}

void EntryDialog::ResetRemembered() {
  rememberedName = rememberedText = 0;
}

void EntryDialog::accept() {
  (kind_ == Kind::Name ? rememberedName : rememberedText) = languages_->currentIndex();
  QDialog::accept();
}

}  // namespace trellune::ui
