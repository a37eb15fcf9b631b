// The item properties dialog, the entry dialogs and the picture picker, driven through their
// controls; and "Modify item" in the window.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeView>
#include <QTreeWidget>

#include "entry_dialogs.h"
#include "item_properties_dialog.h"
#include "menu_tree_model.h"
#include "picture_picker.h"
#include "picture_view.h"
#include "ui/ui_fixture.h"

using namespace trellune;
using namespace trellune::ui;
using namespace trellune::ui::test;

namespace {

template <typename T>
T* Child(QWidget& w, const char* name) {
  T* found = w.findChild<T*>(QString::fromLatin1(name));
  if (!found) qFatal("no control named %s", name);
  return found;
}

// A GIF of one pixel, for the previews.
QByteArray Gif() {
  return QByteArray::fromHex(
      "47494638396101000100800000ff000000000021f90401000000002c00000000010001000002024401003b");
}

struct DialogHarness {
  explicit DialogHarness(bool phone = false, bool midlets = false) {
    ItemDialogContext context;
    context.prompts = &prompts;
    context.phoneConnected = phone;
    context.midletListLoaded = midlets;
    if (midlets) context.midlets[3] = TJavaSlot{"Snake", "Example", "Snake, /s.png, a.Snake", 0};
    context.pictureList = [this]() -> const std::vector<phone::P2kFileEntry>& { return pictures; };
    context.readPicture = [](const QString& path) -> std::optional<QByteArray> {
      if (path.endsWith(QStringLiteral(".gif"))) return Gif();
      return std::nullopt;
    };
    dialog = std::make_unique<ItemPropertiesDialog>(nullptr, std::move(context));
  }
  template <typename T>
  T* Find(const char* name) {
    return Child<T>(*dialog, name);
  }
  ScriptedPrompts prompts;
  std::vector<phone::P2kFileEntry> pictures;
  std::unique_ptr<ItemPropertiesDialog> dialog;
};

phone::P2kFileEntry Entry(const char* path, std::uint32_t size) {
  phone::P2kFileEntry e;
  e.FileSize = size;
  std::strncpy(e.FilePath, path, sizeof e.FilePath - 1);
  return e;
}

// Answers the next entry dialog with a text and a language position.
std::function<int(QDialog&)> Type(const QString& text, int language = -1) {
  return [text, language](QDialog& d) {
    auto& entry = static_cast<EntryDialog&>(d);
    entry.SetText(text);
    if (language >= 0) entry.SetLanguagePosition(language);
    entry.accept();
    return int(QDialog::Accepted);
  };
}

}  // namespace

class ItemDialogsTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init() { EntryDialog::ResetRemembered(); }
  void enablingRules();
  void listsAndTheirLimits();
  void entryDialogsRememberTheirLanguage();
  void functionChoiceAndReset();
  void okRefusesWhatCannotBeStored();
  void iconsBrowseAndPreview();
  void pictureTree();
  void modifyItemInTheWindow();
  void previewsReadThePhone();
};

// The dialog's state over situations: an item with a submenu, a softkey, a phone connected or
// not, the MIDlet list loaded or not.
void ItemDialogsTest::enablingRules() {
  ItemDataBlock urlAndIcon;
  urlAndIcon.Entries = {MakeIconFileEntry(3, u"/a/x.gif"), MakeDrmEntry(kIconDrmList, 0x12, 5),
                        MakeTextEntry(kMidletName, "Snake")};
  struct Case {
    const char* what;
    std::uint8_t type;
    bool restricted, phone, midlets;
    bool functionTab, functionEnabled, iconsEnabled, browseStatic, browseList, protectedOn,
        nonChangeableOn, installedOn;
  } cases[] = {
      {"plain item, no phone", 6, false, false, false, true, true, true, false, false, true, false,
       false},
      {"phone and MIDlet list", 6, false, true, true, true, true, true, true, false, true, false,
       true},
      {"submenu", 1, false, true, false, false, false, true, true, false, true, false, false},
      {"softkey", 6, true, true, true, true, true, false, false, false, false, true, true},
  };
  for (const Case& c : cases) {
    DialogHarness h(c.phone, c.midlets);
    h.dialog->LoadItem(urlAndIcon, c.type, 0, 0x41, c.restricted);
    QCOMPARE(h.Find<QTabWidget>("Tabs")->isTabVisible(1), c.functionTab);
    QCOMPARE(h.Find<QComboBox>("ItemFunction")->isEnabled(), c.functionEnabled);
    QCOMPARE(h.Find<QGroupBox>("ItemIcons")->isEnabled(), c.iconsEnabled);
    QCOMPARE(h.Find<QPushButton>("StaticIconBrowse")->isEnabled(), c.browseStatic);
    QCOMPARE(h.Find<QPushButton>("ListIconBrowse")->isEnabled(), c.browseList);  // DRM: never
    QCOMPARE(h.Find<QCheckBox>("Protected")->isEnabled(), c.protectedOn);
    QCOMPARE(h.Find<QCheckBox>("NonChangeable")->isEnabled(), c.nonChangeableOn);
    QCOMPARE(h.Find<QComboBox>("SelectFromInstalled")->isEnabled(), c.installedOn);
    QVERIFY(h.Find<QCheckBox>("Lockable")->isChecked());
    QVERIFY(!h.Find<QPushButton>("Apply")->isEnabled());
    QVERIFY(h.Find<QPushButton>("ResetAllData")->isEnabled());
    QCOMPARE(h.Find<QLineEdit>("StaticIconPath")->text().isEmpty(), c.restricted);
    h.dialog->OkClick();
    QCOMPARE(h.dialog->result(), int(QDialog::Accepted));
    const ItemProperties& r = h.dialog->Result();
    QCOMPARE(r.ItemType, c.type == 1 ? std::uint8_t(1) : std::uint8_t(6));
    // A softkey's icons are not kept.
    QCOMPARE(r.data->Entries.size(), c.restricted ? std::size_t(1) : std::size_t(3));
  }
  // "Select from installed:" fills the three MIDlet fields.
  DialogHarness h(true, true);
  h.dialog->LoadItem(urlAndIcon, 6, 0, 0, false);
  QCOMPARE(h.Find<QComboBox>("SelectFromInstalled")->count(), 1);
  h.Find<QComboBox>("SelectFromInstalled")->activated(0);
  QCOMPARE(h.Find<QLineEdit>("Midlet1")->text(), QStringLiteral("Snake, /s.png, a.Snake"));
  QCOMPARE(h.Find<QLineEdit>("MidletVendor")->text(), QStringLiteral("Example"));
}

void ItemDialogsTest::listsAndTheirLimits() {
  DialogHarness h;
  h.dialog->LoadItem(std::nullopt, 0, 0, 0x41, false);
  auto* add = h.Find<QPushButton>("MenuTitleAdd");
  auto* del = h.Find<QPushButton>("MenuTitleDelete");
  auto* edit = h.Find<QPushButton>("MenuTitleEdit");
  auto* table = h.Find<QTableWidget>("MenuTitleList");
  QVERIFY(add->isEnabled() && !edit->isEnabled() && !del->isEnabled());
  for (int i = 0; i < 12; ++i) {
    h.prompts.onExec = Type(QStringLiteral("Title %1").arg(i), i);
    add->click();
  }
  QCOMPARE(table->rowCount(), 12);
  QVERIFY(!add->isEnabled());
  QVERIFY(h.Find<QPushButton>("Apply")->isEnabled());
  QCOMPARE(table->item(11, 1)->text(), QStringLiteral("0C"));
  table->setCurrentCell(1, 0);
  del->click();
  QVERIFY(add->isEnabled());
  QCOMPARE(table->item(1, 0)->text(), QStringLiteral("#3"));  // the others keep their numbers
  // An empty text changes nothing.
  h.prompts.onExec = Type(QString());
  add->click();
  QCOMPARE(table->rowCount(), 11);
  // Edit replaces the language and the text of the selected row.
  table->setCurrentCell(0, 0);
  h.prompts.onExec = Type(QStringLiteral("Spiele"), 6);
  edit->click();
  QCOMPARE(table->item(0, 1)->text(), QStringLiteral("07"));
  h.dialog->OkClick();
  const ItemDataEntry& titles = h.dialog->Result().data->Entries.at(0);
  QCOMPARE(titles.Titles.size(), std::size_t(11));
  QVERIFY(titles.Titles[0] == (TitleCell{7, u"Spiele"}));
  QCOMPARE(h.dialog->Result().Flags, std::uint8_t(8));

  // A row of a language outside the table shows its digits and keeps its id through an edit.
  ItemDataBlock odd;
  odd.Entries = {MakeTitlesEntry(kSoftkeyTitles, {{0x30, u"x"}})};
  h.dialog->LoadItem(odd, 0, 0, 0, false);
  QCOMPARE(h.Find<QTableWidget>("SoftkeyTitleList")->item(0, 1)->text(), QStringLiteral("30"));
  h.Find<QTableWidget>("SoftkeyTitleList")->setCurrentCell(0, 0);
  h.prompts.onExec = Type(QStringLiteral("y"));
  h.Find<QPushButton>("SoftkeyTitleEdit")->click();
  h.dialog->OkClick();
  QCOMPARE(h.dialog->Result().data->Entries.at(0).Titles.at(0).LanguageId, std::uint8_t(0x30));
}

void ItemDialogsTest::entryDialogsRememberTheirLanguage() {
  EntryDialog first(EntryDialog::Kind::Name, nullptr);
  first.Prepare(QString());
  QCOMPARE(first.LanguagePosition(), 0);  // "English US"
  EntryDialog edit(EntryDialog::Kind::Name, nullptr);
  edit.Prepare(QStringLiteral("Spiele"), QStringLiteral("07"));
  edit.accept();
  EntryDialog next(EntryDialog::Kind::Name, nullptr);
  next.Prepare(QString());
  QCOMPARE(next.LanguagePosition(), 6);  // "German"
  EntryDialog text(EntryDialog::Kind::Text, nullptr);
  text.Prepare(QString());
  QCOMPARE(text.LanguagePosition(), 0);  // the other kind keeps its own
  QCOMPARE(text.windowTitle(), QStringLiteral("Text editor "));
  QCOMPARE(next.windowTitle(), QStringLiteral("Name settings"));

  // A row holds 399 characters; the 400th cannot be typed, and Enter starts no new line.
  auto* box = Child<QPlainTextEdit>(text, "Text");
  box->setPlainText(QString(399, QLatin1Char('a')));
  box->moveCursor(QTextCursor::End);
  QTest::keyClicks(box, QStringLiteral("bc"));
  QTest::keyClick(box, Qt::Key_Return);
  QCOMPARE(text.Text(), QString(399, QLatin1Char('a')));
  QCOMPARE(Child<QLineEdit>(next, "Name")->maxLength(), 399);

  // Opened, each takes what is typed at once: the focus is in its text, not on the list.
  for (EntryDialog* d : {&next, &text}) {
    d->show();
    QVERIFY(QTest::qWaitForWindowActive(d));
    QVERIFY(d->focusWidget() == (d == &next ? static_cast<QWidget*>(Child<QLineEdit>(next, "Name"))
                                            : static_cast<QWidget*>(box)));
    d->hide();
  }
}

void ItemDialogsTest::functionChoiceAndReset() {
  DialogHarness h;
  ItemDataBlock url;
  url.Entries = {MakeTextEntry(kUrlLink, "http://x")};
  h.dialog->LoadItem(url, 3, 0, 0x60, false);
  auto* function = h.Find<QComboBox>("ItemFunction");
  QCOMPARE(function->currentText(), QStringLiteral("URL link"));
  QVERIFY(h.Find<QGroupBox>("UrlLink")->isEnabled());
  function->activated(int(ItemFunction::Shortcut));
  QVERIFY(!h.Find<QGroupBox>("UrlLink")->isEnabled());
  QVERIFY(h.Find<QGroupBox>("ShortcutData")->isEnabled());
  QCOMPARE(h.Find<QTabWidget>("Tabs")->currentIndex(), 1);
  function->activated(int(ItemFunction::UrlLink));
  QVERIFY(h.Find<QLineEdit>("Url")->text().isEmpty());
  function->activated(int(ItemFunction::CallSend));
  QVERIFY(h.Find<QRadioButton>("Send")->isEnabled());
  h.Find<QRadioButton>("Send")->click();
  h.Find<QLineEdit>("Code13")->setText(QStringLiteral("7"));
  h.dialog->OkClick();
  QCOMPARE(h.dialog->Result().ItemType, std::uint8_t(5));
  QCOMPARE(h.dialog->Result().data->Entries.at(0).TypeCode, kCallSendCode2);

  // "Reset All Data": No changes nothing, Yes empties everything.
  ItemDataBlock titled;
  titled.Entries = {MakeTitlesEntry(kMenuTitles, {{1, u"a"}})};
  h.dialog->LoadItem(titled, 0, 0, 0x41, false);
  h.prompts.answers = {false};
  h.dialog->ResetAllDataClick();
  QCOMPARE(h.prompts.shown.back().text, std::string("This will remove all data\r\n   Continue?"));
  QCOMPARE(h.prompts.shown.back().caption, std::string("Warning"));
  QCOMPARE(h.Find<QTableWidget>("MenuTitleList")->rowCount(), 1);
  h.prompts.answers = {true};
  h.dialog->ResetAllDataClick();
  QCOMPARE(h.Find<QTableWidget>("MenuTitleList")->rowCount(), 0);
  QVERIFY(!h.Find<QCheckBox>("Lockable")->isChecked());
  h.dialog->OkClick();
  QVERIFY(!h.dialog->Result().data);
}

void ItemDialogsTest::okRefusesWhatCannotBeStored() {
  DialogHarness h;
  h.dialog->LoadItem(std::nullopt, 0, 0, 0, false);
  h.Find<QComboBox>("ItemFunction")->activated(int(ItemFunction::SendEvent));
  h.Find<QLineEdit>("ActionCode")->setText(QStringLiteral("70000"));
  h.dialog->OkClick();
  QCOMPARE(h.prompts.Texts(),
           std::vector<std::string>{"Action code (dec) [?]: 70000 is not between 0 and 65535"});
  QVERIFY(h.dialog->result() != QDialog::Accepted);  // open still, to be put right
  h.Find<QLineEdit>("ActionCode")->setText(QStringLiteral("abc"));
  h.dialog->ApplyClick();
  QCOMPARE(h.prompts.Texts().back(), std::string("'abc' is not a valid integer value"));
  h.Find<QLineEdit>("ActionCode")->setText(QStringLiteral("513"));
  h.dialog->ApplyClick();
  QVERIFY(!h.Find<QPushButton>("Apply")->isEnabled());
}

void ItemDialogsTest::iconsBrowseAndPreview() {
  DialogHarness h(true);
  h.pictures = {Entry("/a/mobile/picture/x.gif", 43), Entry("/c/pics/y.gif", 10)};
  h.dialog->LoadItem(std::nullopt, 0, 0, 0, false);
  h.dialog->show();
  auto* path = h.Find<QLineEdit>("AnimatedIconPath");
  auto* preview = h.Find<PictureView>("AnimatedIconPreview");
  QVERIFY(preview->isHidden());
  h.prompts.onExec = [](QDialog& d) {
    auto& picker = static_cast<PicturePicker&>(d);
    auto* tree = Child<QTreeWidget>(picker, "TntTreeView1");
    QTreeWidgetItem* picture =
        tree->topLevelItem(0)->child(0)->child(0)->child(0);  // a/mobile/picture
    tree->setCurrentItem(picture);
    Child<QTableWidget>(picker, "TntListView1")->selectRow(0);
    Child<QPushButton>(picker, "TntButton1")->click();
    return picker.result();
  };
  h.Find<QPushButton>("AnimatedIconBrowse")->click();
  QCOMPARE(path->text(), QStringLiteral("/a/mobile/picture/x.gif"));
  QVERIFY(preview->isVisible() && preview->ShowsPicture());
  // A path the phone does not give shows the placeholder; DRM numbers too.
  path->setText(QStringLiteral("/a/none.bmp"));
  QVERIFY(preview->isVisible() && !preview->ShowsPicture());
  h.Find<QComboBox>("AnimatedIconSource")->setCurrentIndex(1);
  h.Find<QComboBox>("AnimatedIconSource")->activated(1);
  QVERIFY(path->text().isEmpty() && preview->isHidden());
  QVERIFY(!h.Find<QPushButton>("AnimatedIconBrowse")->isEnabled());
  path->setText(QStringLiteral("300"));
  h.dialog->OkClick();
  QCOMPARE(h.dialog->Result().data->Entries.at(0).TypeCode, kIconDrmAnimated);
  QCOMPARE(h.dialog->Result().data->Entries.at(0).Value, std::uint16_t(300));
}

void ItemDialogsTest::pictureTree() {
  PicturePicker picker(nullptr);
  picker.LoadPicData({Entry("/c/mobile/picture/y.gif", 7), Entry("/a/mobile/picture/x.gif", 43),
                      Entry("/a/mobile/picture/b.gif", 5), Entry("/a/mobile/z.gif", 1)},
                     4);
  auto* tree = Child<QTreeWidget>(picker, "TntTreeView1");
  auto* files = Child<QTableWidget>(picker, "TntListView1");
  QTreeWidgetItem* root = tree->topLevelItem(0);
  QCOMPARE(root->text(0), QStringLiteral("Phone"));
  QCOMPARE(root->childCount(), 2);
  QCOMPARE(root->child(0)->text(0), QStringLiteral("a"));  // sorted
  QCOMPARE(root->child(1)->text(0), QStringLiteral("c"));
  QTreeWidgetItem* mobile = root->child(0)->child(0);
  tree->setCurrentItem(mobile);  // holds z.gif and a folder
  QCOMPARE(files->rowCount(), 1);
  QTreeWidgetItem* picture = mobile->child(0);
  tree->setCurrentItem(picture);
  QCOMPARE(files->rowCount(), 2);
  QCOMPARE(files->item(0, 0)->text(), QStringLiteral("x.gif"));  // in list order
  QCOMPARE(files->item(0, 1)->text(), QStringLiteral("43"));
  QCOMPARE(files->item(1, 0)->text(), QStringLiteral("b.gif"));
  files->selectRow(1);
  QCOMPARE(Child<QLineEdit>(picker, "TntEdit1")->text(), QStringLiteral("/a/mobile/picture/b.gif"));
  Child<QPushButton>(picker, "TntButton1")->click();
  QCOMPARE(picker.ChosenPicturePath(), QStringLiteral("/a/mobile/picture/b.gif"));
  // The root lists nothing; Cancel gives nothing.
  tree->setCurrentItem(root);
  QCOMPARE(files->rowCount(), 0);
  Child<QPushButton>(picker, "TntButton2")->click();
  QVERIFY(picker.ChosenPicturePath().isEmpty());
}

void ItemDialogsTest::modifyItemInTheWindow() {
  Workspace ws("modify");
  Harness h(ws, false);
  h.Show();
  MainWindow& w = *h.window;
  w.OpenPath(Demo("menus/mma_ucp_36"));
  auto* tree = h.Find<QTreeView>("TreeView1");
  auto* model = static_cast<MenuTreeModel*>(tree->model());
  const MenuNode* phoneBook = w.Editor().Tree().NodeAt(9);
  // Not on "Softkeys" or "Menu Root".
  w.ModifyItem(w.Editor().Tree().NodeAt(0));
  w.ModifyItem(w.Editor().Tree().MenuRoot());
  QVERIFY(h.prompts.Texts("exec").empty());
  // Apply, then Cancel: nothing reaches the item.
  const MenuDocument before = w.Editor().Document();
  h.prompts.onExec = [](QDialog& d) {
    Child<QCheckBox>(d, "Lockable")->click();
    Child<QPushButton>(d, "Apply")->click();
    Child<QPushButton>(d, "Cancel")->click();
    return d.result();
  };
  w.ModifyItem(phoneBook);
  QVERIFY(phoneBook->Item == before.Tree.NodeAt(9)->Item);
  // OK stores the data; the summary follows. A double-click opens the dialog too.
  h.prompts.onExec = [](QDialog& d) {
    Child<QComboBox>(d, "ItemFunction")->activated(int(ItemFunction::UrlLink));
    Child<QLineEdit>(d, "Url")->setText(QStringLiteral("http://y"));
    Child<QPushButton>(d, "OK")->click();
    return d.result();
  };
  tree->setCurrentIndex(model->IndexOf(phoneBook));
  const QRect place = tree->visualRect(model->IndexOf(phoneBook));
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, place.center());
  QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, place.center());
  const std::vector<std::string> opened{"TForm3", "TForm3"};
  QCOMPARE(h.prompts.Texts("exec"), opened);
  QCOMPARE(phoneBook->Item.ItemType, std::uint8_t(3));
  QVERIFY(w.Editor().Document().ItemData[phoneBook->Item.Id]);
  QCOMPARE(h.Find<QPlainTextEdit>("TntMemo1")->toPlainText(),
           QStringLiteral("Item summary:\n\nURL attached"));
  // A dialog that ends with no data empties the slot: "[Not modified]".
  h.prompts.onExec = [](QDialog& d) {
    Child<QComboBox>(d, "ItemFunction")->activated(int(ItemFunction::None));
    Child<QPushButton>(d, "OK")->click();
    return d.result();
  };
  w.ModifyItem(phoneBook);
  QVERIFY(!w.Editor().Document().ItemData[phoneBook->Item.Id]);
  QCOMPARE(h.Find<QPlainTextEdit>("TntMemo1")->toPlainText(),
           QStringLiteral("Item summary:\n\n[Not modified]"));
  // Enter on the selected item opens it too.
  h.prompts.onExec = nullptr;
  tree->setFocus();
  QTest::keyClick(tree, Qt::Key_Return);
  QCOMPARE(h.prompts.Texts("exec").size(), std::size_t(4));
}

// With a phone connected, an icon's preview is the phone's own picture.
void ItemDialogsTest::previewsReadThePhone() {
  Workspace ws("preview");
  Harness h(ws);
  h.Show();
  h.window->OpenPath(Demo("menus/mma_ucp_36"));
  const MenuNode* weather = nullptr;
  h.window->Editor().Tree().ForEach([&](MenuNode& n) {
    if (n.Item.Name == "~1") weather = &n;
  });
  QVERIFY(weather);
  bool shown = false;
  h.prompts.onExec = [&](QDialog& d) {
    shown = Child<PictureView>(d, "StaticIconPreview")->ShowsPicture();
    return int(QDialog::Rejected);
  };
  h.window->ModifyItem(weather);
  QVERIFY(shown);
  ws.Unplug();
  h.window->Phone().Poll();
  h.window->ModifyItem(weather);
  QVERIFY(!shown);  // no phone: the placeholder
}

QTEST_MAIN(ItemDialogsTest)
#include "item_dialogs_test.moc"
