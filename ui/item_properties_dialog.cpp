#include "item_properties_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "entry_dialogs.h"
#include "itemdata/language_table.h"
#include "picture_picker.h"
#include "picture_view.h"
#include "user_prompts.h"

namespace trellune::ui {
namespace {

constexpr std::array<const char*, 3> kIconNames = {"AnimatedIcon", "StaticIcon", "ListIcon"};
constexpr std::array<const char*, 3> kIconLabels = {"Animated icon", "Static icon", "List icon"};
constexpr std::array<const char*, 3> kCodeLabels = {"Code 0x12 [?]", "Code 0x13 [?]",
                                                    "Code 0x14 [?]"};

QString Utf16(const std::u16string& s) {
  return QString::fromUtf16(s.data(), qsizetype(s.size()));
}

std::u16string Utf16(const QString& s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), std::size_t(s.size()));
}

QString Latin1(const std::string& s) {
  return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

// A row of a title list: "#" and its number among the rows when it was added, the language's
// two digits, the text.
void AppendRow(QTableWidget* table, const TitleRow& row) {
  const int r = table->rowCount();
  table->insertRow(r);
  table->setItem(r, 0, new QTableWidgetItem(QStringLiteral("#%1").arg(r + 1)));
  auto* id = new QTableWidgetItem(QString::fromStdString(LanguageIdText(row.LanguageId)));
  id->setTextAlignment(Qt::AlignCenter);
  table->setItem(r, 1, id);
  auto* text = new QTableWidgetItem(Utf16(row.Text));
  text->setTextAlignment(Qt::AlignCenter);
  table->setItem(r, 2, text);
}

QLineEdit* Field(QWidget* parent, const char* name, int maxLength) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->setMaxLength(maxLength);
  return field;
}

QPushButton* Button(QWidget* parent, const char* name, const char* text) {
  auto* button = new QPushButton(QString::fromLatin1(text), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  return button;
}

}  // namespace

ItemPropertiesDialog::ItemPropertiesDialog(QWidget* owner, ItemDialogContext context)
    : QDialog(owner), context_(std::move(context)) {
  setObjectName(QStringLiteral("TForm3"));
  setWindowTitle(QStringLiteral("Item properties"));
  Build();
  // Showing: the installed MIDlets when their list was read, the browse buttons with a phone.
  installed_->clear();
  if (context_.midletListLoaded)
    for (const auto& slot : context_.midlets)
      if (slot) {
        installed_->addItem(Latin1(slot->SlotName));
        installedMidlets_.push_back(*slot);
      }
  apply_->setEnabled(false);
}

ItemPropertiesDialog::~ItemPropertiesDialog() {
  StopPreviews();
}

ItemPropertiesDialog::TitleList ItemPropertiesDialog::MakeList(QWidget* parent, const char* name,
                                                               std::vector<TitleRow>* rows,
                                                               bool textEditor) {
  TitleList list;
  list.rows = rows;
  list.textEditor = textEditor;
  list.table = new QTableWidget(0, 3, parent);
  list.table->setObjectName(QString::fromLatin1(name) + QStringLiteral("List"));
  list.table->setHorizontalHeaderLabels(
      {QStringLiteral("No."), QStringLiteral("Language ID"), QStringLiteral("Title")});
  list.table->setColumnWidth(0, 50);
  list.table->setColumnWidth(1, 100);
  list.table->horizontalHeader()->setStretchLastSection(true);
  list.table->verticalHeader()->hide();
  list.table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list.table->setSelectionBehavior(QAbstractItemView::SelectRows);
  list.table->setSelectionMode(QAbstractItemView::SingleSelection);
  list.table->setShowGrid(true);
  list.add = Button(parent, (std::string(name) + "Add").c_str(), "Add");
  list.edit = Button(parent, (std::string(name) + "Edit").c_str(), "Edit");
  list.remove = Button(parent, (std::string(name) + "Delete").c_str(), "Delete");
  return list;
}

QWidget* ItemPropertiesDialog::BuildVisualTab() {
  auto* tab = new QWidget;
  auto* layout = new QVBoxLayout(tab);
  auto* titles = new QGroupBox(QStringLiteral("Item title"), tab);
  titles->setObjectName(QStringLiteral("ItemTitle"));
  auto* titleColumns = new QHBoxLayout(titles);
  menuTitles_ = MakeList(titles, "MenuTitle", &codec_.Form().MenuTitles, false);
  softkeyTitles_ = MakeList(titles, "SoftkeyTitle", &codec_.Form().SoftkeyTitles, false);
  for (auto [list, caption] :
       {std::pair{&menuTitles_, "Menu title"}, std::pair{&softkeyTitles_, "Softkey title"}}) {
    auto* column = new QVBoxLayout;
    column->addWidget(new QLabel(QString::fromLatin1(caption), titles));
    column->addWidget(list->table);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(list->add);
    buttons->addWidget(list->edit);
    buttons->addWidget(list->remove);
    column->addLayout(buttons);
    titleColumns->addLayout(column);
  }
  layout->addWidget(titles, 1);

  auto* lower = new QHBoxLayout;
  auto* attributes = new QGroupBox(QStringLiteral("Item attributes"), tab);
  attributes->setObjectName(QStringLiteral("ItemAttributes"));
  auto* attributeBoxes = new QVBoxLayout(attributes);
  const std::tuple<QCheckBox**, const char*, const char*, std::uint8_t> boxes[] = {
      {&lockable_, "Lockable", "Lockable", kLockableBit},
      {&protected_, "Protected", "Protected", kProtectedBit},
      {&nonChangeable_, "NonChangeable", "Non-changeable", kNonChangeableBit}};
  for (const auto& [box, name, text, bit] : boxes) {
    *box = new QCheckBox(QString::fromLatin1(text), attributes);
    (*box)->setObjectName(QString::fromLatin1(name));
    attributeBoxes->addWidget(*box);
    const std::uint8_t b = bit;
    QCheckBox* self = *box;
    connect(self, &QCheckBox::toggled, this, [this, b](bool on) {
      codec_.SetAttribute(b, on);
      if (!loading_) apply_->setEnabled(true);
    });
  }
  lower->addWidget(attributes);

  icons_ = new QGroupBox(QStringLiteral("Item icons"), tab);
  icons_->setObjectName(QStringLiteral("ItemIcons"));
  auto* grid = new QGridLayout(icons_);
  for (int slot = 0; slot < 3; ++slot) {
    IconRow& row = iconRows_[std::size_t(slot)];
    const std::string name = kIconNames[std::size_t(slot)];
    grid->addWidget(new QLabel(QString::fromLatin1(kIconLabels[std::size_t(slot)]), icons_), slot,
                    0);
    row.source = new QComboBox(icons_);
    row.source->setObjectName(QString::fromStdString(name + "Source"));
    row.source->addItems({QStringLiteral("FS"), QStringLiteral("DRM")});
    row.path = Field(icons_, (name + "Path").c_str(), 32767);
    row.browse = Button(icons_, (name + "Browse").c_str(), "...");
    row.preview = new PictureView(icons_);
    row.preview->setObjectName(QString::fromStdString(name + "Preview"));
    // A hidden preview keeps its room, so the dialog does not shift when a path is set.
    QSizePolicy keep = row.preview->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    row.preview->setSizePolicy(keep);
    row.preview->hide();
    grid->addWidget(row.source, slot, 1);
    grid->addWidget(row.path, slot, 2);
    grid->addWidget(row.browse, slot, 3);
    grid->addWidget(row.preview, slot, 4);
    connect(row.source, &QComboBox::activated, this, [this, slot] { SourceChanged(slot); });
    connect(row.path, &QLineEdit::textChanged, this, [this, slot] { IconPathChanged(slot); });
    connect(row.browse, &QPushButton::clicked, this, [this, slot] { BrowseClick(slot); });
  }
  lower->addWidget(icons_, 1);
  layout->addLayout(lower);
  return tab;
}

QWidget* ItemPropertiesDialog::BuildFunctionTab() {
  auto* tab = new QWidget;
  auto* grid = new QGridLayout(tab);
  auto group = [tab](const char* name, const char* title) {
    auto* g = new QGroupBox(QString::fromLatin1(title), tab);
    g->setObjectName(QString::fromLatin1(name));
    return g;
  };

  urlGroup_ = group("UrlLink", "URL link");
  url_ = Field(urlGroup_, "Url", int(kMaxAnsiChars));
  (new QVBoxLayout(urlGroup_))->addWidget(url_);

  appGroup_ = group("ApplicationStart", "Application start");
  auto* app = new QGridLayout(appGroup_);
  midlet1_ = Field(appGroup_, "Midlet1", int(kMaxAnsiChars));
  midletName_ = Field(appGroup_, "MidletName", int(kMaxAnsiChars));
  midletVendor_ = Field(appGroup_, "MidletVendor", int(kMaxAnsiChars));
  installed_ = new QComboBox(appGroup_);
  installed_->setObjectName(QStringLiteral("SelectFromInstalled"));
  const std::pair<const char*, QWidget*> appRows[] = {{"MIDlet-1", midlet1_},
                                                      {"MIDlet name", midletName_},
                                                      {"MIDlet vendor", midletVendor_},
                                                      {"Select from installed:", installed_}};
  for (int r = 0; r < 4; ++r) {
    app->addWidget(new QLabel(QString::fromLatin1(appRows[r].first), appGroup_), r, 0);
    app->addWidget(appRows[r].second, r, 1);
  }
  connect(installed_, &QComboBox::activated, this, [this](int k) {
    if (k < 0 || std::size_t(k) >= installedMidlets_.size()) return;
    midlet1_->setText(Latin1(installedMidlets_[std::size_t(k)].SlotMidlet1));
    midletName_->setText(Latin1(installedMidlets_[std::size_t(k)].SlotName));
    midletVendor_->setText(Latin1(installedMidlets_[std::size_t(k)].SlotVendor));
  });

  actionGroup_ = group("EmulateAction", "Emulate action");
  actionCode_ = Field(actionGroup_, "ActionCode", 5);
  auto* action = new QHBoxLayout(actionGroup_);
  action->addWidget(new QLabel(QStringLiteral("Action code (dec) [?]:"), actionGroup_));
  action->addWidget(actionCode_);

  shortcutGroup_ = group("ShortcutData", "Shortcut data [?]");
  shortcut_ = Field(shortcutGroup_, "Shortcut", int(kShortcutBytes));
  (new QVBoxLayout(shortcutGroup_))->addWidget(shortcut_);

  callGroup_ = group("CallSend", "Call a number/Send SMS ");
  auto* call = new QGridLayout(callGroup_);
  call_ = new QRadioButton(QStringLiteral("Call"), callGroup_);
  call_->setObjectName(QStringLiteral("Call"));
  send_ = new QRadioButton(QStringLiteral("Send"), callGroup_);
  send_->setObjectName(QStringLiteral("Send"));
  call->addWidget(call_, 0, 0);
  call->addWidget(send_, 0, 1);
  for (int i = 0; i < 3; ++i) {
    const char* names[] = {"Code12", "Code13", "Code14"};
    codes_[std::size_t(i)] = Field(callGroup_, names[i], 3);
    call->addWidget(new QLabel(QString::fromLatin1(kCodeLabels[std::size_t(i)]), callGroup_), i + 1,
                    0);
    call->addWidget(codes_[std::size_t(i)], i + 1, 1);
  }
  connect(call_, &QRadioButton::clicked, this, [this] {
    codec_.ChooseSend(false);
    apply_->setEnabled(true);
  });
  connect(send_, &QRadioButton::clicked, this, [this] {
    codec_.ChooseSend(true);
    apply_->setEnabled(true);
  });

  showTextGroup_ = group("ShowText", "Show text");
  showText_ = MakeList(showTextGroup_, "ShowText", &codec_.Form().ShowText, true);
  auto* show = new QVBoxLayout(showTextGroup_);
  show->addWidget(showText_.table);
  auto* showButtons = new QHBoxLayout;
  showButtons->addWidget(showText_.add);
  showButtons->addWidget(showText_.edit);
  showButtons->addWidget(showText_.remove);
  show->addLayout(showButtons);

  grid->addWidget(urlGroup_, 0, 0);
  grid->addWidget(appGroup_, 1, 0, 2, 1);
  grid->addWidget(actionGroup_, 3, 0);
  grid->addWidget(shortcutGroup_, 0, 1);
  grid->addWidget(callGroup_, 1, 1);
  grid->addWidget(showTextGroup_, 2, 1, 2, 1);

  for (QLineEdit* field : {url_, midlet1_, midletName_, midletVendor_, actionCode_, shortcut_,
                           codes_[0], codes_[1], codes_[2]})
    connect(field, &QLineEdit::textChanged, this, &ItemPropertiesDialog::FunctionFieldChanged);
  return tab;
}

void ItemPropertiesDialog::Build() {
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("Tabs"));
  tabs_->addTab(BuildVisualTab(), QStringLiteral("Visual"));
  tabs_->addTab(BuildFunctionTab(), QStringLiteral("Function"));

  reset_ = Button(this, "ResetAllData", "Reset All Data");
  reset_->setToolTip(QStringLiteral("Clear all data attached to the item"));
  // Red only while it can be used, so a disabled button looks disabled.
  reset_->setStyleSheet(
      QStringLiteral("QPushButton { font-weight: bold; } QPushButton:enabled { color: red; }"));
  function_ = new QComboBox(this);
  function_->setObjectName(QStringLiteral("ItemFunction"));
  for (std::string_view text : kItemFunctionTexts)
    function_->addItem(QString::fromLatin1(text.data(), qsizetype(text.size())));
  ok_ = Button(this, "OK", "OK");
  ok_->setDefault(true);
  ok_->setAutoDefault(true);
  apply_ = Button(this, "Apply", "Apply");
  cancel_ = Button(this, "Cancel", "Cancel");

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(reset_);
  bottom->addStretch(1);
  bottom->addWidget(new QLabel(QStringLiteral("Item function:"), this));
  bottom->addWidget(function_);
  bottom->addWidget(ok_);
  bottom->addWidget(apply_);
  bottom->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_, 1);
  layout->addLayout(bottom);
  resize(826, 495);

  for (TitleList* list : {&menuTitles_, &softkeyTitles_, &showText_}) {
    connect(list->add, &QPushButton::clicked, this, [this, list] { ListAdd(*list); });
    connect(list->edit, &QPushButton::clicked, this, [this, list] { ListEdit(*list); });
    connect(list->remove, &QPushButton::clicked, this, [this, list] { ListDelete(*list); });
  }
  connect(function_, &QComboBox::activated, this, &ItemPropertiesDialog::ChooseFunction);
  connect(reset_, &QPushButton::clicked, this, &ItemPropertiesDialog::ResetAllDataClick);
  connect(ok_, &QPushButton::clicked, this, &ItemPropertiesDialog::OkClick);
  connect(apply_, &QPushButton::clicked, this, &ItemPropertiesDialog::ApplyClick);
  connect(cancel_, &QPushButton::clicked, this, [this] {
    StopPreviews();
    reject();
  });
}

// --- loading and resetting ---

void ItemPropertiesDialog::LoadItem(const std::optional<ItemDataBlock>& block,
                                    std::uint8_t itemType, std::uint8_t flags,
                                    std::uint8_t attributes, bool restricted) {
  codec_.LoadItem(block, itemType, flags, attributes, restricted);
  loading_ = true;
  ClearPanel();
  lockable_->setChecked(codec_.Attribute(kLockableBit));
  protected_->setChecked(codec_.Attribute(kProtectedBit));
  nonChangeable_->setChecked(codec_.Attribute(kNonChangeableBit));
  FillFromForm();
  if (block) reset_->setEnabled(true);
  loading_ = false;
  apply_->setEnabled(false);
}

void ItemPropertiesDialog::ClearPanel() {
  const bool restricted = codec_.Restricted();
  (codec_.Form().Send ? send_ : call_)->setChecked(true);
  function_->setCurrentIndex(0);
  function_->setEnabled(!codec_.HasSubmenu());
  tabs_->setTabVisible(1, !codec_.HasSubmenu());
  apply_->setEnabled(false);
  tabs_->setCurrentIndex(0);
  for (TitleList* list : {&menuTitles_, &softkeyTitles_, &showText_}) {
    list->table->setRowCount(0);
    list->edit->setEnabled(false);
    list->remove->setEnabled(false);
    list->add->setEnabled(list != &showText_);
  }
  for (IconRow& row : iconRows_) {
    const QSignalBlocker block(row.path);
    row.path->clear();
    row.source->setCurrentIndex(0);
    row.path->setEnabled(!restricted);
    row.source->setEnabled(!restricted);
    row.preview->Stop();
    row.preview->hide();
  }
  for (QLineEdit* field : {url_, midlet1_, midletName_, midletVendor_, actionCode_, shortcut_,
                           codes_[0], codes_[1], codes_[2]}) {
    const QSignalBlocker block(field);
    field->clear();
  }
  call_->setEnabled(false);
  send_->setEnabled(false);
  reset_->setEnabled(false);
  // The check boxes are cleared as clicks would (the codec cleared the bits).
  for (QCheckBox* box : {lockable_, protected_, nonChangeable_}) {
    const QSignalBlocker block(box);
    box->setChecked(false);
  }
  protected_->setEnabled(!restricted);
  nonChangeable_->setEnabled(restricted);
  installed_->setEnabled(false);
  for (QGroupBox* g :
       {urlGroup_, appGroup_, actionGroup_, shortcutGroup_, callGroup_, showTextGroup_})
    g->setEnabled(false);
  icons_->setEnabled(!restricted);
  UpdateBrowseButtons();
}

// The decoded fields into the controls.
void ItemPropertiesDialog::FillFromForm() {
  const ItemForm& form = codec_.Form();
  FillList(menuTitles_);
  FillList(softkeyTitles_);
  FillList(showText_);
  for (int slot = 0; slot < 3; ++slot) {
    const IconField& icon = form.Icons[std::size_t(slot)];
    IconRow& row = iconRows_[std::size_t(slot)];
    row.source->setCurrentIndex(icon.Source == IconSource::DRM ? 1 : 0);
    row.path->setText(Utf16(icon.Path));
  }
  url_->setText(Latin1(form.Url));
  midlet1_->setText(Latin1(form.Midlet1));
  midletName_->setText(Latin1(form.MidletName));
  midletVendor_->setText(Latin1(form.MidletVendor));
  actionCode_->setText(QString::fromStdString(form.ActionCode));
  shortcut_->setText(Latin1(form.Shortcut));
  for (int i = 0; i < 3; ++i)
    codes_[std::size_t(i)]->setText(QString::fromStdString(form.Codes[std::size_t(i)]));
  (form.Send ? send_ : call_)->setChecked(true);
  function_->setCurrentIndex(int(form.Function));
  // The loaded function's controls are ready to edit.
  EnableFunctionGroup(form.Function);
  UpdateBrowseButtons();
}

void ItemPropertiesDialog::FillList(TitleList& list) {
  list.table->setRowCount(0);
  for (const TitleRow& row : *list.rows) {
    AppendRow(list.table, row);
  }
  const bool rows = !list.rows->empty();
  list.add->setEnabled(list.rows->size() < kMaxListRows &&
                       (&list != &showText_ || codec_.Form().Function == ItemFunction::ShowText));
  list.edit->setEnabled(rows);
  list.remove->setEnabled(rows);
}

// --- lists ---

void ItemPropertiesDialog::ListAdd(TitleList& list) {
  EntryDialog entry(list.textEditor ? EntryDialog::Kind::Text : EntryDialog::Kind::Name, this);
  entry.Prepare(QString());
  if (context_.prompts->Exec(entry) != QDialog::Accepted || entry.Text().isEmpty()) return;
  list.rows->push_back({std::uint8_t(entry.LanguagePosition() + 1), Utf16(entry.Text())});
  AppendRow(list.table, list.rows->back());
  if (list.rows->size() >= kMaxListRows) list.add->setEnabled(false);
  list.edit->setEnabled(true);
  list.remove->setEnabled(true);
  ListChanged(list);
}

void ItemPropertiesDialog::ListEdit(TitleList& list) {
  const int r = list.table->currentRow();
  if (r < 0 || std::size_t(r) >= list.rows->size()) return;
  TitleRow& row = (*list.rows)[std::size_t(r)];
  EntryDialog entry(list.textEditor ? EntryDialog::Kind::Text : EntryDialog::Kind::Name, this);
  entry.Prepare(Utf16(row.Text), QString::fromStdString(LanguageIdText(row.LanguageId)));
  if (context_.prompts->Exec(entry) != QDialog::Accepted || entry.Text().isEmpty()) return;
  // A language outside the table keeps its id unless the user chose one.
  const bool known = row.LanguageId >= 1 && row.LanguageId <= kLanguageCount;
  if (known || entry.LanguageChosen()) row.LanguageId = std::uint8_t(entry.LanguagePosition() + 1);
  row.Text = Utf16(entry.Text());
  list.table->item(r, 1)->setText(QString::fromStdString(LanguageIdText(row.LanguageId)));
  list.table->item(r, 2)->setText(entry.Text());
  ListChanged(list);
}

void ItemPropertiesDialog::ListDelete(TitleList& list) {
  const int r = list.table->currentRow();
  if (r < 0 || std::size_t(r) >= list.rows->size()) return;
  list.rows->erase(list.rows->begin() + r);
  list.table->removeRow(r);  // the other rows keep their numbers
  list.add->setEnabled(true);
  if (list.rows->empty()) {
    list.edit->setEnabled(false);
    list.remove->setEnabled(false);
  }
  ListChanged(list);
}

void ItemPropertiesDialog::ListChanged(const TitleList& list) {
  apply_->setEnabled(true);
  if (!list.rows->empty()) reset_->setEnabled(true);
}

// --- function ---

void ItemPropertiesDialog::ChooseFunction(int index) {
  const auto function = ItemFunction(index);
  codec_.ChooseFunction(function);
  loading_ = true;
  (codec_.Form().Send ? send_ : call_)->setChecked(true);
  showText_.table->setRowCount(0);
  for (QLineEdit* field : {url_, midlet1_, midletName_, midletVendor_, actionCode_, shortcut_,
                           codes_[0], codes_[1], codes_[2]})
    field->clear();
  loading_ = false;
  apply_->setEnabled(false);
  call_->setEnabled(false);
  send_->setEnabled(false);
  reset_->setEnabled(false);
  for (QPushButton* b : {showText_.add, showText_.edit, showText_.remove}) b->setEnabled(false);
  installed_->setEnabled(false);
  for (QGroupBox* g :
       {urlGroup_, appGroup_, actionGroup_, shortcutGroup_, callGroup_, showTextGroup_})
    g->setEnabled(false);
  tabs_->setCurrentIndex(function == ItemFunction::None ? 0 : 1);
  EnableFunctionGroup(function);
}

void ItemPropertiesDialog::EnableFunctionGroup(ItemFunction function) {
  switch (function) {
    case ItemFunction::None:
      return;
    case ItemFunction::UrlLink:
      urlGroup_->setEnabled(true);
      return;
    case ItemFunction::ApplicationStart:
      appGroup_->setEnabled(true);
      installed_->setEnabled(context_.midletListLoaded);
      return;
    case ItemFunction::SendEvent:
      actionGroup_->setEnabled(true);
      return;
    case ItemFunction::Shortcut:
      shortcutGroup_->setEnabled(true);
      return;
    case ItemFunction::CallSend:
      callGroup_->setEnabled(true);
      call_->setEnabled(true);
      send_->setEnabled(true);
      return;
    case ItemFunction::ShowText:
      showTextGroup_->setEnabled(true);
      showText_.add->setEnabled(codec_.Form().ShowText.size() < kMaxListRows);
      showText_.edit->setEnabled(!codec_.Form().ShowText.empty());
      showText_.remove->setEnabled(!codec_.Form().ShowText.empty());
      return;
  }
}

void ItemPropertiesDialog::FunctionFieldChanged(const QString& text) {
  if (loading_) return;
  apply_->setEnabled(true);
  if (!text.isEmpty()) reset_->setEnabled(true);
}

// --- icons ---

void ItemPropertiesDialog::UpdateBrowseButtons() {
  for (int slot = 0; slot < 3; ++slot) {
    const IconField& icon = codec_.Form().Icons[std::size_t(slot)];
    iconRows_[std::size_t(slot)].browse->setEnabled(context_.phoneConnected &&
                                                    !codec_.Restricted() && !icon.FromDrm &&
                                                    icon.Source == IconSource::FS);
  }
}

void ItemPropertiesDialog::IconPathChanged(int slot) {
  IconRow& row = iconRows_[std::size_t(slot)];
  IconField& icon = codec_.Form().Icons[std::size_t(slot)];
  icon.Path = Utf16(row.path->text());
  if (icon.Path.empty()) {
    row.preview->Stop();
    row.preview->hide();
  } else {
    // A file of the phone shows itself when the phone can give it; anything else, a placeholder.
    std::optional<QByteArray> picture;
    if (icon.Source == IconSource::FS && context_.phoneConnected && context_.readPicture)
      picture = context_.readPicture(row.path->text());
    row.preview->ShowPicture(picture);
    row.preview->show();
    reset_->setEnabled(true);
  }
  if (!loading_) apply_->setEnabled(true);
}

void ItemPropertiesDialog::SourceChanged(int slot) {
  IconRow& row = iconRows_[std::size_t(slot)];
  codec_.ChooseIconSource(IconSlot(slot),
                          row.source->currentIndex() == 1 ? IconSource::DRM : IconSource::FS);
  row.path->clear();
  apply_->setEnabled(true);
  UpdateBrowseButtons();
}

void ItemPropertiesDialog::BrowseClick(int slot) {
  if (!context_.pictureList) return;
  const std::vector<phone::P2kFileEntry>& pictures = context_.pictureList();
  PicturePicker picker(this, context_.readPicture);
  picker.LoadPicData(pictures, pictures.size());
  if (context_.prompts->Exec(picker) != QDialog::Accepted || picker.ChosenPicturePath().isEmpty())
    return;
  IconRow& row = iconRows_[std::size_t(slot)];
  row.source->setCurrentIndex(0);
  codec_.ChooseIconSource(IconSlot(slot), IconSource::FS);
  row.path->setText(picker.ChosenPicturePath());
  UpdateBrowseButtons();
}

void ItemPropertiesDialog::StopPreviews() {
  for (IconRow& row : iconRows_) row.preview->Stop();
}

// --- buttons ---

// The 8-bit fields take only what one byte a character can hold.
std::optional<UserMessage> ItemPropertiesDialog::SyncFunctionFields() {
  ItemForm& form = codec_.Form();
  const std::tuple<QLineEdit*, std::string*, const char*> fields[] = {
      {url_, &form.Url, "URL link"},
      {midlet1_, &form.Midlet1, "MIDlet-1"},
      {midletName_, &form.MidletName, "MIDlet name"},
      {midletVendor_, &form.MidletVendor, "MIDlet vendor"},
      {actionCode_, &form.ActionCode, "Action code (dec) [?]"},
      {shortcut_, &form.Shortcut, "Shortcut data [?]"},
      {codes_[0], &form.Codes[0], "Code 0x12 [?]"},
      {codes_[1], &form.Codes[1], "Code 0x13 [?]"},
      {codes_[2], &form.Codes[2], "Code 0x14 [?]"}};
  for (const auto& [field, value, name] : fields) {
    const QString text = field->text();
    for (QChar c : text)
      if (c.unicode() > 0xFF)
        return UserMessage{std::string(name) + ": '" + text.toStdString() +
                               "' holds characters an 8-bit text cannot store",
                           "Item properties", MessageIcon::Error};
    const QByteArray bytes = text.toLatin1();
    *value = std::string(bytes.constData(), std::size_t(bytes.size()));
  }
  return std::nullopt;
}

std::optional<UserMessage> ItemPropertiesDialog::ApplyDataChange() {
  if (auto error = SyncFunctionFields()) return error;
  ItemProperties collected;
  if (auto error = codec_.Collect(collected)) return error;
  result_ = collected;
  return std::nullopt;
}

void ItemPropertiesDialog::OkClick() {
  // A field that cannot be stored keeps the dialog open, so it can be put right.
  if (auto error = ApplyDataChange()) {
    context_.prompts->Show(this, *error);
    return;
  }
  StopPreviews();
  accept();
}

void ItemPropertiesDialog::ApplyClick() {
  if (auto error = ApplyDataChange()) {
    context_.prompts->Show(this, *error);
    return;
  }
  apply_->setEnabled(false);
}

void ItemPropertiesDialog::ResetAllDataClick() {
  if (!context_.prompts->Ask(
          this, {"This will remove all data\r\n   Continue?", "Warning", MessageIcon::Warning}))
    return;
  codec_.ClearPanel();
  loading_ = true;
  ClearPanel();
  loading_ = false;
}

}  // namespace trellune::ui
