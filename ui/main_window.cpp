#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTreeView>
#include <QUndoCommand>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>

#include "about_box.h"
#include "io/file_io.h"
#include "item_properties_dialog.h"
#include "menu_tree_model.h"
#include "menu_tree_view.h"
#include "mma/menu_ops.h"
#include "mma/menu_reader.h"
#include "phone_controller.h"
#include "profiles/firmware_scan.h"
#include "profiles/profiles.h"
#include "progress_window.h"
#include "user_prompts.h"

namespace trellune::ui {
namespace fs = std::filesystem;

namespace {

// One step of the history: the whole document before and after it. A menu is small (at most
// 254 items and 64 KiB of data), so keeping both is simpler and surer than inverse edits.
class SnapshotStep : public QUndoCommand {
 public:
  SnapshotStep(const QString& caption, MenuDocument before, MenuDocument after, MainWindow* window)
      : QUndoCommand(caption),
        before_(std::move(before)),
        after_(std::move(after)),
        window_(window) {}
  void undo() override { window_->RestoreDocument(before_); }
  void redo() override {
    if (applied_) window_->RestoreDocument(after_);
    applied_ = true;  // pushed after the edit was made
  }

 private:
  MenuDocument before_, after_;
  MainWindow* window_;
  bool applied_ = false;
};

// A status bar panel at least as wide as it was drawn, and never narrower than its text: a
// long phone name widens the window rather than being cut.
class StatusPanel : public QLabel {
 public:
  StatusPanel(int width, QWidget* parent) : QLabel(parent), width_(width) {}
  QSize minimumSizeHint() const override {
    const QSize text = QLabel::minimumSizeHint();
    return {std::max(width_, text.width()), text.height()};
  }
  QSize sizeHint() const override { return minimumSizeHint(); }

 private:
  int width_;
};

const char* const kAllFiles = "All Files (*)";  // menu files have no extension

QString Latin1(const std::string& s) {
  return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

}  // namespace

QStringList ItemSummary(const MenuDocument& doc, const MenuNode& node) {
  QStringList lines{QStringLiteral("Item summary:"), QString()};
  if (!node.Item.HasData) {
    lines << QStringLiteral("[Not modified]");
    return lines;
  }
  const auto& block = doc.ItemData[node.Item.Id];
  if (!block) return lines;
  // The MIDlet, icon and phone-number lines stand once for their group of entries.
  bool midlet = false, fileIcon = false, drmIcon = false, number = false;
  auto once = [&lines](bool& seen, const char* line) {
    if (!seen) lines << QString::fromLatin1(line);
    seen = true;
  };
  for (const ItemDataEntry& e : block->Entries) {
    switch (e.TypeCode) {
      case kMenuTitles:
        lines << QStringLiteral("Name in menu modified");
        break;
      case kSoftkeyTitles:
        lines << QStringLiteral("Softkey name modified");
        break;
      case kUrlLink:
        lines << QStringLiteral("URL attached");
        break;
      case kMidletAttribute:
      case kMidletName:
      case kMidletVendor:
        once(midlet, "MIDlet attached");
        break;
      case kIconFile:
        once(fileIcon, "Icon(s) modified [source: file]");
        break;
      case kIconDrmList:
      case kIconDrmStatic:
      case kIconDrmAnimated:
        once(drmIcon, "Icon(s) modified [source: DRM]");
        break;
      case kCallSendCode1:
      case kCallSendCode2:
      case kCallSendCode3:
        once(number, "Phone number attached");
        break;
      case kShowText:
        lines << QStringLiteral("Text screen attached");
        break;
      case kSendEvent:
        lines << QStringLiteral("Action emulated");
        break;
      case kShortcutData:
        lines << QStringLiteral("Shortcut data");
        break;
      default:
        lines << QStringLiteral("Unsupported Data");
        break;
    }
  }
  return lines;
}

MainWindow::MainWindow(WindowSetup setup)
    : appDir_(std::move(setup.appDir)),
      menuTempFile_(appDir_ / "mma_temp"),
      midletTempFile_(appDir_ / "j2mest_temp"),
      prompts_(*setup.prompts) {
  setObjectName(QStringLiteral("TSDIAppForm"));
  setWindowTitle(QStringLiteral("Trellune v.0.21 [fix]"));
  progress_ = new ProgressWindow(this);
  phone::Sleeper* sleeper = setup.sleeper;
  if (!sleeper) {
    ownSleeper_ = std::make_unique<EventLoopSleeper>();
    sleeper = ownSleeper_.get();
  }
  PhoneController::Hooks hooks;
  hooks.applyProfile = [this](const std::string& id) { ApplyFirmwareProfile(id); };
  hooks.menuLoaded = [this] { return !editor_.Tree().Empty(); };
  hooks.report = [this](const phone::PhoneMessage& m) { ShowError(m.text, m.caption); };
  phone_ = new PhoneController(std::move(setup.phone), *sleeper, *progress_, hooks, this);
  connect(phone_, &PhoneController::Changed, this, [this] {
    if (!phone_->Session().PhoneConnected) pictures_.clear();
    UpdatePhoneIndicators();
    UpdateCommands();
  });

  BuildActions();
  BuildWidgets();
  editor_.AddListener(this);

  profileNames_ = ScanProfiles(appDir_);
  FillProfileSelector();
  RefreshKindList();
  RefreshOptions();
  UpdatePhoneIndicators();
  UpdateCommands();
  setAcceptDrops(true);
  resize(462, 512);
}

MainWindow::~MainWindow() {
  editor_.RemoveListener(this);
  // The undo stack is a child: clearing it as Qt deletes it would call back into this
  // window, which by then is gone.
  history_->disconnect(this);
  // Qt deletes child objects after this window's members; the model listens to the editor,
  // so it goes first.
  menuTree_->setModel(nullptr);
  delete model_;
}

void MainWindow::BuildActions() {
  auto action = [this](const char* name, const char* text, QStyle::StandardPixmap icon,
                       void (MainWindow::*handler)()) {
    auto* a = new QAction(style()->standardIcon(icon), QString::fromLatin1(text), this);
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  FileNew1 = action("FileNew1", "&New", QStyle::SP_FileIcon, &MainWindow::FileNew1Execute);
  FileNew1->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
  FileOpen1 =
      action("FileOpen1", "&Open", QStyle::SP_DialogOpenButton, &MainWindow::FileOpen1Execute);
  FileOpen1->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
  // "Save" has a tool bar button and a menu entry that reads "Save as..."; the entry holds
  // the shortcut, so Ctrl+S does nothing while no menu is loaded.
  FileSave1 = action("FileSave1", "&Save as...", QStyle::SP_DialogSaveButton,
                     &MainWindow::FileSave1Execute);
  FileSave1->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
  saveButton_ = action("FileSave1Button", "&Save", QStyle::SP_DialogSaveButton,
                       &MainWindow::FileSave1Execute);
  PhoneOpen =
      action("PhoneOpen", "Open from &phone", QStyle::SP_ArrowDown, &MainWindow::PhoneOpenExecute);
  PhoneSave =
      action("PhoneSave", "Save to p&hone", QStyle::SP_ArrowUp, &MainWindow::PhoneSaveExecute);
  PhoneRestart = action("PhoneRestart", "&Restart Phone", QStyle::SP_BrowserReload,
                        &MainWindow::PhoneRestartExecute);
  PhoneConnect = action("PhoneConnect", "&Connect phone in modem mode", QStyle::SP_DriveNetIcon,
                        &MainWindow::PhoneConnectExecute);
  PhoneConnect->setToolTip(QStringLiteral(
      "The phone on the cable is a modem: switch it to command mode so it can be used"));
  FileExit1 = new QAction(QStringLiteral("E&xit"), this);
  FileExit1->setObjectName(QStringLiteral("FileExit1"));
  connect(FileExit1, &QAction::triggered, this, &QWidget::close);
  HelpAbout1 = new QAction(QStringLiteral("&About..."), this);
  HelpAbout1->setObjectName(QStringLiteral("HelpAbout1"));
  connect(HelpAbout1, &QAction::triggered, this, &MainWindow::HelpAbout1Execute);
  newButton_ = FileNew1;
  openButton_ = FileOpen1;
  phoneOpenButton_ = PhoneOpen;
  phoneSaveButton_ = PhoneSave;
  restartButton_ = PhoneRestart;

  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("File1"));
  file->addActions(
      {FileNew1, FileOpen1, FileSave1, PhoneOpen, PhoneSave, PhoneRestart, PhoneConnect});
  file->addSeparator();
  file->addAction(FileExit1);
  BuildHistory();
  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  edit->setObjectName(QStringLiteral("Edit1"));
  edit->addActions({EditUndo1, EditRedo1});
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("Help1"));
  help->addAction(HelpAbout1);
}

void MainWindow::BuildWidgets() {
  toolBar_ = addToolBar(QStringLiteral("Tools"));
  toolBar_->setObjectName(QStringLiteral("ToolBar1"));
  toolBar_->setMovable(false);
  toolBar_->setIconSize(QSize(24, 24));
  toolBar_->addActions({newButton_, openButton_, saveButton_, EditUndo1, EditRedo1});
  toolBar_->addSeparator();
  toolBar_->addActions({phoneOpenButton_, phoneSaveButton_});
  toolBar_->addSeparator();
  toolBar_->addActions({restartButton_, PhoneConnect});
  // The divider before the profile selector takes what room there is (up to the 150 pixels
  // it was drawn with), so the selector is never pushed off the bar.
  auto* divider = new QWidget(toolBar_);
  divider->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  divider->setMaximumWidth(150);
  toolBar_->addWidget(divider);
  profileSelector_ = new QComboBox(toolBar_);
  profileSelector_->setObjectName(QStringLiteral("ComboBox2"));
  profileSelector_->setEditable(true);
  profileSelector_->setInsertPolicy(QComboBox::NoInsert);
  profileSelector_->setMinimumWidth(140);
  toolBar_->addWidget(profileSelector_);
  connect(profileSelector_, &QComboBox::activated, this, &MainWindow::ComboBox2Select);

  auto* central = new QWidget(this);
  auto* columns = new QHBoxLayout(central);
  columns->setContentsMargins(16, 8, 16, 8);

  menuTree_ = new MenuTreeView(central);
  menuTree_->setObjectName(QStringLiteral("TreeView1"));
  menuTree_->setHeaderHidden(true);
  menuTree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  menuTree_->setMinimumSize(217, 385);
  model_ = new MenuTreeModel(editor_, this);
  menuTree_->setModel(model_);
  connect(menuTree_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
    TreeView1Click();
    UpdateStatus();
  });
  // A double-click or Enter on an item opens its properties.
  menuTree_->setExpandsOnDoubleClick(false);
  connect(menuTree_, &QTreeView::activated, this,
          [this](const QModelIndex& index) { ModifyItem(model_->NodeOf(index)); });
  DropHandler drops;
  drops.nodeOf = [this](const QModelIndex& i) { return model_->NodeOf(i); };
  drops.nodeAt = [this](std::size_t p) { return editor_.Tree().NodeAt(p); };
  drops.positionOf = [this](const MenuNode* n) { return editor_.Tree().PositionOf(n); };
  drops.canDropNode = [this](const MenuNode* d, const MenuNode* t) {
    return bool(editor_.CanDropNode(d, t));
  };
  drops.canDropKind = [this](int k, const MenuNode* t) { return bool(editor_.CanDropKind(k, t)); };
  drops.dropNode = [this](const MenuNode* d, const MenuNode* t) {
    Step(QStringLiteral("Move item"), [&] { return editor_.DropNode(d, t); });
    SelectNode(d);
  };
  drops.dropKind = [this](int k, const MenuNode* t) {
    Added(Step(QStringLiteral("Add item"), [&] { return editor_.DropKind(k, t); }), true);
  };
  menuTree_->SetDropHandler(std::move(drops));
  columns->addWidget(menuTree_, 1);

  auto* side = new QVBoxLayout;
  kindLabel_ = new QLabel(QStringLiteral("Available mma items"), central);
  kindLabel_->setObjectName(QStringLiteral("Label1"));
  kindList_ = new KindListBox(central);
  kindList_->setObjectName(QStringLiteral("ComboBox1"));
  kindList_->setMaxVisibleItems(16);
  summary_ = new QPlainTextEdit(central);
  summary_->setObjectName(QStringLiteral("TntMemo1"));
  summary_->setReadOnly(true);
  summary_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  summary_->setPlainText(QStringLiteral("Item summary:"));
  summary_->hide();

  saveMode_ = new QGroupBox(QStringLiteral("MMA save mode"), central);
  saveMode_->setObjectName(QStringLiteral("RadioGroup1"));
  record22_ = new QRadioButton(QStringLiteral("22-byte"), saveMode_);
  record22_->setObjectName(QStringLiteral("RadioButton1"));
  record36_ = new QRadioButton(QStringLiteral("36-byte"), saveMode_);
  record36_->setObjectName(QStringLiteral("RadioButton2"));
  saveAllData_ = new QCheckBox(QStringLiteral("Save all data"), saveMode_);
  saveAllData_->setObjectName(QStringLiteral("CheckBox1"));
  c698pFix_ = new QCheckBox(QStringLiteral("c698p mma_ucp fix"), saveMode_);
  c698pFix_->setObjectName(QStringLiteral("CheckBox2"));
  auto* modeLayout = new QVBoxLayout(saveMode_);
  for (QWidget* w : std::initializer_list<QWidget*>{record22_, record36_, saveAllData_, c698pFix_})
    modeLayout->addWidget(w);

  iconMarker_ = new QGroupBox(QStringLiteral("Custom icon attribute"), central);
  iconMarker_->setObjectName(QStringLiteral("RadioGroup2"));
  marker06_ = new QRadioButton(QStringLiteral("06"), iconMarker_);
  marker06_->setObjectName(QStringLiteral("RadioGroup2Item06"));
  marker0C_ = new QRadioButton(QStringLiteral("0C"), iconMarker_);
  marker0C_->setObjectName(QStringLiteral("RadioGroup2Item0C"));
  auto* markerLayout = new QHBoxLayout(iconMarker_);  // two columns
  markerLayout->addWidget(marker06_);
  markerLayout->addWidget(marker0C_);

  side->addWidget(kindLabel_);
  side->addWidget(kindList_);
  side->addWidget(summary_, 1);
  side->addStretch(0);
  side->addWidget(saveMode_);
  side->addWidget(iconMarker_);
  // The side column keeps its width when the summary appears; the tree takes the rest.
  auto* sideColumn = new QWidget(central);
  sideColumn->setLayout(side);
  side->setContentsMargins(0, 0, 0, 0);
  sideColumn->setFixedWidth(std::max(190, saveMode_->sizeHint().width() + 20));
  columns->addWidget(sideColumn);
  setCentralWidget(central);
  BuildPopupMenus();

  connect(record22_, &QRadioButton::clicked, this, &MainWindow::RadioButton1Click);
  connect(record36_, &QRadioButton::clicked, this, &MainWindow::RadioButton2Click);
  connect(saveAllData_, &QCheckBox::clicked, this, &MainWindow::CheckBox1Click);
  connect(c698pFix_, &QCheckBox::clicked, this, [this](bool on) {
    Step(QStringLiteral("c698p mma_ucp fix"), [&] { editor_.SetC698pFix(on); });
  });
  connect(marker06_, &QRadioButton::clicked, this, [this] {
    Step(QStringLiteral("Custom icon attribute"), [&] { editor_.SetIconMarker(IconMarker::k06); });
  });
  connect(marker0C_, &QRadioButton::clicked, this, [this] {
    Step(QStringLiteral("Custom icon attribute"), [&] { editor_.SetIconMarker(IconMarker::k0C); });
  });

  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar1"));
  bar->setSizeGripEnabled(false);
  formatPanel_ = new StatusPanel(150, bar);
  formatPanel_->setObjectName(QStringLiteral("StatusBar1Panel0"));
  phonePanel_ = new StatusPanel(100, bar);
  phonePanel_->setObjectName(QStringLiteral("StatusBar1Panel1"));
  phonePanel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  modifiedPanel_ = new StatusPanel(0, bar);
  modifiedPanel_->setObjectName(QStringLiteral("StatusBar1Panel2"));
  phoneIndicator_ = new QFrame(bar);
  phoneIndicator_->setObjectName(QStringLiteral("Shape1"));
  phoneIndicator_->setFixedSize(43, 17);
  phoneIndicator_->setFrameShape(QFrame::Box);
  phoneIndicator_->setAutoFillBackground(true);
  bar->addWidget(formatPanel_);
  bar->addWidget(modifiedPanel_);
  bar->addPermanentWidget(phonePanel_, 1);
  bar->addPermanentWidget(phoneIndicator_);
}

void MainWindow::BuildPopupMenus() {
  auto entry = [this](QMenu* menu, const char* name, const char* text, auto handler) {
    QAction* a = menu->addAction(QString::fromLatin1(text));
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  popupMenu1_ = new QMenu(this);
  popupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
  addSubitem_ = popupMenu1_->addMenu(QStringLiteral("Add subitem"));
  addSubitem_->setObjectName(QStringLiteral("AddSubitem1"));
  AddFirst1 = entry(addSubitem_, "AddFirst1", "Add First",
                    [this] { AddCommand(AddPlacement::SubitemFirst); });
  AddChild1 = entry(addSubitem_, "AddChild1", "Add Last",
                    [this] { AddCommand(AddPlacement::SubitemLast); });
  addItem_ = popupMenu1_->addMenu(QStringLiteral("Add item"));
  addItem_->setObjectName(QStringLiteral("AddItem2"));
  AddFirst2 =
      entry(addItem_, "AddFirst2", "Add First", [this] { AddCommand(AddPlacement::ItemFirst); });
  AddItem1 =
      entry(addItem_, "AddItem1", "Add Before", [this] { AddCommand(AddPlacement::ItemBefore); });
  Replace1 = entry(popupMenu1_, "Replace1", "Replace", &MainWindow::Replace1Click);
  connect(popupMenu1_, &QMenu::aboutToShow, this, &MainWindow::PopupMenu1Popup);

  popupMenu2_ = new QMenu(this);
  popupMenu2_->setObjectName(QStringLiteral("PopupMenu2"));
  MenuItem1 =
      entry(popupMenu2_, "MenuItem1", "Modify item", [this] { ModifyItem(SelectedNode()); });
  Deleteitem1 = entry(popupMenu2_, "Deleteitem1", "Delete item", &MainWindow::Deleteitem1Click);
  Moveup1 = entry(popupMenu2_, "Moveup1", "Move up", &MainWindow::Moveup1Click);
  Movedown1 = entry(popupMenu2_, "Movedown1", "Move down", &MainWindow::Movedown1Click);
  connect(popupMenu2_, &QMenu::aboutToShow, this, &MainWindow::PopupMenu2Popup);
  // Closed, the entries serve the keyboard again, whose commands check the rules themselves.
  connect(popupMenu2_, &QMenu::aboutToHide, this, [this] {
    for (QAction* a : {MenuItem1, Deleteitem1, Moveup1, Movedown1}) a->setEnabled(true);
  });

  // The keyboard reaches the same commands on the tree: Delete, Ctrl+Up, Ctrl+Down, F2 (and
  // Enter, through "activated"); the menu key opens PopupMenu2.
  Deleteitem1->setShortcut(QKeySequence::Delete);
  Moveup1->setShortcut(QKeySequence(QStringLiteral("Ctrl+Up")));
  Movedown1->setShortcut(QKeySequence(QStringLiteral("Ctrl+Down")));
  MenuItem1->setShortcut(QKeySequence(Qt::Key_F2));
  for (QAction* a : {MenuItem1, Deleteitem1, Moveup1, Movedown1}) {
    a->setShortcutContext(Qt::WidgetShortcut);
    menuTree_->addAction(a);
  }
  menuTree_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(menuTree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (!SelectedNode()) return;  // nothing opens without a selected node
    popupMenu2_->popup(menuTree_->viewport()->mapToGlobal(at));
  });
  kindList_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(kindList_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { popupMenu1_->popup(kindList_->mapToGlobal(at)); });
  connect(kindList_, &QComboBox::activated, this, &MainWindow::ComboBox1Click);
}

void MainWindow::BuildHistory() {
  history_ = new QUndoStack(this);
  history_->setUndoLimit(200);
  EditUndo1 = history_->createUndoAction(this, QStringLiteral("&Undo"));
  EditUndo1->setObjectName(QStringLiteral("EditUndo1"));
  EditUndo1->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
  EditUndo1->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));
  EditRedo1 = history_->createRedoAction(this, QStringLiteral("&Redo"));
  EditRedo1->setObjectName(QStringLiteral("EditRedo1"));
  EditRedo1->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
  EditRedo1->setShortcuts(
      {QKeySequence(QStringLiteral("Ctrl+Shift+Z")), QKeySequence(QStringLiteral("Ctrl+Y"))});
  connect(history_, &QUndoStack::cleanChanged, this, &MainWindow::UpdateModifiedPanel);
}

bool MainWindow::IsModified() const {
  return !editor_.Tree().Empty() && (!history_->isClean() || modifiedBeyondHistory_);
}

void MainWindow::UpdateModifiedPanel() {
  modifiedPanel_->setText(IsModified() ? QStringLiteral("Modified") : QString());
  FitStatusBar();
}

void MainWindow::FitStatusBar() {
  // The status bar lays its panels out without telling the window what they need, so a long
  // phone name would be cut: it is told here, and the window widens when it must.
  QLayout* panels = statusBar()->layout();
  if (!panels) return;
  for (QLayout* inner : statusBar()->findChildren<QLayout*>()) inner->invalidate();
  statusBar()->setMinimumWidth(panels->minimumSize().width());
}

void MainWindow::ClearHistory(HistoryEnd why) {
  // A profile ends the history (its steps hold the kinds they were made with), not the
  // changes that are still unsaved.
  modifiedBeyondHistory_ = why == HistoryEnd::ProfileChanged && IsModified();
  history_->clear();
  history_->setClean();
  UpdateModifiedPanel();
}

void MainWindow::MarkSaved() {
  modifiedBeyondHistory_ = false;
  history_->setClean();
  UpdateModifiedPanel();
}

bool MainWindow::MayReplaceMenu() {
  if (!IsModified()) return true;
  switch (prompts_.Choose(
      this, {"The menu has unsaved changes. Save them first?", "", MessageIcon::Question},
      {QStringLiteral("Save"), QStringLiteral("Discard"), QStringLiteral("Cancel")})) {
    case 0:
      FileSave1Execute();
      return !IsModified();  // a cancelled or failed save keeps the menu
    case 1:
      return true;
    default:
      return false;
  }
}

void MainWindow::PushStep(const QString& caption, MenuDocument before) {
  history_->push(new SnapshotStep(caption, std::move(before), editor_.Document(), this));
}

QString MainWindow::ModifiedPanelText() const {
  return modifiedPanel_->text();
}

void MainWindow::RestoreDocument(const MenuDocument& doc) {
  // The same menu at another moment: the folders open and the item selected stay so, by
  // their place in the tree.
  std::vector<std::size_t> open;
  for (std::size_t p = 0; p < editor_.Tree().Count(); ++p)
    if (menuTree_->isExpanded(model_->IndexOf(editor_.Tree().NodeAt(p)))) open.push_back(p);
  const MenuNode* selected = SelectedNode();
  const std::optional<std::size_t> current =
      selected ? std::optional(editor_.Tree().PositionOf(selected)) : std::nullopt;
  editor_.Restore(doc);
  for (std::size_t p : open)
    if (const MenuNode* node = editor_.Tree().NodeAt(p)) menuTree_->expand(model_->IndexOf(node));
  if (current)
    if (const MenuNode* node = editor_.Tree().NodeAt(*current)) SelectNode(node);
  UpdateCommands();
}

const MenuNode* MainWindow::SelectedNode() const {
  return model_->NodeOf(menuTree_->currentIndex());
}

void MainWindow::SelectNode(const MenuNode* node) {
  menuTree_->setCurrentIndex(model_->IndexOf(node));
}

void MainWindow::PopupMenu1Popup() {
  const MenuNode* node = SelectedNode();
  addSubitem_->setEnabled(bool(editor_.CanAdd(node, AddPlacement::SubitemFirst)));
  addItem_->setEnabled(bool(editor_.CanAdd(node, AddPlacement::ItemFirst)));
  for (QAction* a : {AddFirst1, AddChild1}) a->setEnabled(addSubitem_->isEnabled());
  for (QAction* a : {AddFirst2, AddItem1}) a->setEnabled(addItem_->isEnabled());
  Replace1->setEnabled(bool(editor_.CanReplace(node)));
}

void MainWindow::PopupMenu2Popup() {
  const MenuNode* node = SelectedNode();
  MenuItem1->setEnabled(bool(editor_.CanModify(node)));
  Deleteitem1->setEnabled(bool(editor_.CanDelete(node)));
  Moveup1->setEnabled(bool(editor_.CanMoveUp(node)));
  Movedown1->setEnabled(bool(editor_.CanMoveDown(node)));
}

QPoint MainWindow::PopupMenu1Place() const {
  const QPoint topLeft = kindList_->mapTo(this, QPoint(0, 0));
  const int row = kindList_->view() ? kindList_->view()->sizeHintForRow(0) : kindList_->height();
  return mapToGlobal(QPoint(topLeft.x() + kindList_->width() / 2, topLeft.y() + row + 50));
}

void MainWindow::ComboBox1Click(int) {
  if (!SelectedNode()) return;
  popupMenu1_->popup(PopupMenu1Place());
}

void MainWindow::Added(const EditOutcome& outcome, bool selectNew) {
  if (!outcome) {
    if (!outcome.refusal.empty())
      prompts_.Show(this, {outcome.refusal, "Tree editing", MessageIcon::Warning});
    return;
  }
  if (selectNew || outcome.openDialog) SelectNode(outcome.node);
  if (outcome.openDialog) ModifyItem(outcome.node);
  menuTree_->expand(menuTree_->currentIndex());  // one level
}

void MainWindow::AddCommand(AddPlacement placement) {
  const MenuNode* node = SelectedNode();
  if (!node || kindList_->currentIndex() < 0) return;
  if (!editor_.CanAdd(node, placement)) return;
  const bool subitem =
      placement == AddPlacement::SubitemFirst || placement == AddPlacement::SubitemLast;
  Added(Step(subitem ? QStringLiteral("Add subitem") : QStringLiteral("Add item"),
             [&] { return editor_.Add(node, placement, kindList_->currentIndex()); }),
        false);
}

void MainWindow::Replace1Click() {
  const MenuNode* node = SelectedNode();
  if (!node || kindList_->currentIndex() < 0 || !editor_.CanReplace(node)) return;
  const EditOutcome outcome = Step(
      QStringLiteral("Replace"), [&] { return editor_.Replace(node, kindList_->currentIndex()); });
  if (!outcome) {
    prompts_.Show(this, {outcome.refusal, "Tree editing", MessageIcon::Warning});
    return;
  }
  TreeView1Click();
  if (outcome.openDialog) ModifyItem(outcome.node);
}

void MainWindow::Deleteitem1Click() {
  const MenuNode* node = SelectedNode();
  if (!editor_.CanDelete(node)) return;
  if (!prompts_.Ask(this, {"The item and all its subitems will be deleted\r\n           Continue?",
                           "Warning", MessageIcon::Warning}))
    return;
  Step(QStringLiteral("Delete item"), [&] { return editor_.Delete(node); });
}

void MainWindow::Moveup1Click() {
  Step(QStringLiteral("Move up"), [&] { return editor_.MoveUp(SelectedNode()); });
}

void MainWindow::Movedown1Click() {
  Step(QStringLiteral("Move down"), [&] { return editor_.MoveDown(SelectedNode()); });
}

// --- profiles ---

void MainWindow::FillProfileSelector() {
  const QSignalBlocker block(profileSelector_);
  profileSelector_->clear();
  for (const std::string& entry : SelectorEntries(profileNames_))
    profileSelector_->addItem(QString::fromStdString(entry));
  profileSelector_->setCurrentIndex(0);
}

void MainWindow::ShowSelectorEntry(std::optional<std::size_t> index, const std::string& name) {
  const QSignalBlocker block(profileSelector_);
  if (index)
    profileSelector_->setCurrentIndex(int(*index));
  else
    profileSelector_->setEditText(QString::fromStdString(name));
}

void MainWindow::ShowProfileMessages(const std::vector<UserMessage>& messages) {
  for (const UserMessage& m : messages) prompts_.Show(this, m);
}

void MainWindow::ApplyFirmwareProfile(const std::string& firmwareId) {
  ClearHistory(HistoryEnd::ProfileChanged);
  const ProfileLoad load = editor_.LoadProfile(appDir_, firmwareId, SelectorEntries(profileNames_));
  ShowSelectorEntry(load.selectorIndex, firmwareId);
  // Shown once the identification has ended and the window takes input again.
  phone_->After([this, messages = load.messages] { ShowProfileMessages(messages); });
}

void MainWindow::ComboBox2Select(int index) {
  const std::vector<std::string> entries = SelectorEntries(profileNames_);
  if (index < 0 || std::size_t(index) >= entries.size()) return;
  const SelectorAction action = ActionForSelectorEntry(std::size_t(index), entries.size());
  // A profile ends the history: its steps hold the kinds they were made with. "Create new..."
  // ends it only once a profile was made.
  if (action != SelectorAction::CreateNew) ClearHistory(HistoryEnd::ProfileChanged);
  switch (action) {
    case SelectorAction::CreateNew:
      CreateNewProfile();
      return;
    case SelectorAction::ApplyDefault:
      editor_.ApplyDefaultProfile();
      return;
    case SelectorAction::LoadProfile:
      break;
  }
  const std::string name = entries[std::size_t(index)];
  ProfileLoad load;
  try {
    load = editor_.LoadProfile(appDir_, name, entries);
  } catch (const FileError& e) {
    ShowError(e.what());
    return;
  }
  ShowProfileMessages(load.messages);
  ShowSelectorEntry(load.selectorIndex, name);
}

void MainWindow::CreateNewProfile() {
  const QString chosen =
      prompts_.OpenFileName(this, QStringLiteral("Select CG1 to create FW profile"),
                            QStringLiteral("CG1 binaries (*.bin *.smg);;All files (*)"));
  if (chosen.isEmpty()) {
    ShowSelectorEntry(0, {});
    return;
  }
  ScanProgress scan;
  scan.show = [this](const std::string& caption) {
    progress_->SetCaption(caption);
    progress_->SetPercent(0);
    progress_->Show();
  };
  scan.setPercent = [this](int percent) { progress_->SetPercent(percent); };
  scan.close = [this] { progress_->Close(); };
  ProfileCreation created;
  try {
    created = CreateFirmwareProfile(chosen.toStdString(), ProfilesDir(appDir_), scan);
  } catch (const FileError& e) {
    progress_->Close();
    ShowError(e.what());
    created.CreatedProfileName = std::string(kScanFailed);
  }
  if (created.CreatedProfileName == kScanFailed) {
    ShowSelectorEntry(0, {});
    prompts_.Show(this, {"Failed to create profile", "", MessageIcon::None});
    return;
  }
  profileNames_ = ScanProfiles(appDir_);
  FillProfileSelector();
  ClearHistory(HistoryEnd::ProfileChanged);
  const ProfileLoad load =
      editor_.LoadProfile(appDir_, created.CreatedProfileName, SelectorEntries(profileNames_));
  ShowProfileMessages(load.messages);
  ShowSelectorEntry(load.selectorIndex, created.CreatedProfileName);
  prompts_.Show(this, {"Profile was successfully created", "", MessageIcon::None});
}

// --- options ---

void MainWindow::RefreshOptions() {
  refreshing_ = true;
  const FormatOptions& o = editor_.Document().Options;
  record22_->setChecked(o.recordLength == 22);
  record36_->setChecked(o.recordLength != 22);
  iconMarker_->setEnabled(o.iconMarkerEnabled);
  marker06_->setChecked(o.iconMarker == IconMarker::k06);
  marker0C_->setChecked(o.iconMarker == IconMarker::k0C);
  c698pFix_->setEnabled(o.c698pFixEnabled);
  c698pFix_->setChecked(o.c698pFix);
  saveAllData_->setChecked(o.saveAllData);
  refreshing_ = false;
}

void MainWindow::RefreshKindList() {
  const QSignalBlocker block(kindList_);
  kindList_->clear();
  for (const std::string& name : editor_.Document().Kinds.AvailableItems())
    kindList_->addItem(Latin1(name));
}

void MainWindow::RadioButton1Click() {
  Step(QStringLiteral("22-byte"),
       [&] { editor_.SelectRecordLength(record22_->isChecked() ? 22 : 36); });
}

void MainWindow::RadioButton2Click() {
  Step(QStringLiteral("36-byte"),
       [&] { editor_.SelectRecordLength(record36_->isChecked() ? 36 : 22); });
}

void MainWindow::CheckBox1Click() {
  Step(QStringLiteral("Save all data"), [&] { editor_.SetSaveAllData(saveAllData_->isChecked()); });
}

// --- the tree, the summary, the status ---

void MainWindow::TreeView1Click() {
  const MenuNode* node = model_->NodeOf(menuTree_->currentIndex());
  if (!node) return;
  const std::size_t position = editor_.Tree().PositionOf(node);
  if (position == 0 || position == kMenuRootPosition) {
    summary_->hide();
    return;
  }
  summary_->show();
  summary_->setPlainText(ItemSummary(editor_.Document(), *node).join(QLatin1Char('\n')));
}

QString MainWindow::FormatPanelText() const {
  return formatPanel_->text();
}

QString MainWindow::PhonePanelText() const {
  return phonePanel_->text();
}

void MainWindow::UpdateStatus() {
  formatPanel_->setText(
      editor_.Tree().Empty() ? QString() : QString::fromStdString(StatusText(editor_.Document())));
  FitStatusBar();
}

void MainWindow::AfterInsert(const MenuNode&) {
  UpdateStatus();
}

void MainWindow::AfterRemove(const MenuNode*, std::size_t) {
  UpdateStatus();
  UpdateCommands();
}

void MainWindow::AfterMove(const MenuNode&) {
  UpdateStatus();
}

void MainWindow::ItemChanged(const MenuNode& node) {
  if (model_->NodeOf(menuTree_->currentIndex()) == &node) TreeView1Click();
}

void MainWindow::AfterReset() {
  summary_->clear();
  summary_->hide();
  UpdateStatus();
  UpdateCommands();
}

void MainWindow::OptionsChanged() {
  RefreshOptions();
}

void MainWindow::KindsChanged() {
  RefreshKindList();
}

// --- commands ---

void MainWindow::UpdateCommands() {
  const bool loaded = !editor_.Tree().Empty();
  const bool connected = phone_->HasBackend() && phone_->Session().PhoneConnected;
  FileSave1->setEnabled(loaded);
  saveButton_->setEnabled(loaded);
  PhoneOpen->setEnabled(connected);
  PhoneSave->setEnabled(connected && loaded);
  PhoneRestart->setEnabled(connected);
  PhoneConnect->setVisible(phone_->ModemPhoneWaiting());
  kindList_->setEnabled(kindListEnabled_);
}

void MainWindow::UpdatePhoneIndicators() {
  const bool connected = phone_->HasBackend() && phone_->Session().PhoneConnected;
  QPalette palette = phoneIndicator_->palette();
  palette.setColor(QPalette::Window, connected ? QColor(0, 255, 0) : QColor(255, 0, 0));
  phoneIndicator_->setPalette(palette);
  phonePanel_->setText(!phone_->HasBackend() ? QStringLiteral("Phone: None ")
                       : phone_->ModemPhoneWaiting()
                           ? QStringLiteral("Phone: modem mode ")
                           : QString::fromStdString(phone_->Indicators().StatusText));
  FitStatusBar();
}

void MainWindow::MenuLoaded(bool enableKindList) {
  if (enableKindList) kindListEnabled_ = true;
  // A menu is opened to be seen: the softkeys and the main menu's first level show at once.
  for (const auto& top : editor_.Tree().TopNodes()) menuTree_->expand(model_->IndexOf(top.get()));
  UpdateCommands();
}

void MainWindow::ShowError(const std::string& text, const std::string& caption) {
  prompts_.Show(this, {text, caption, MessageIcon::Error});
}

void MainWindow::FileNew1Execute() {
  if (!MayReplaceMenu()) return;
  editor_.NewMenu();
  ClearHistory(HistoryEnd::MenuReplaced);
  menuTree_->setCurrentIndex(model_->IndexOf(editor_.Tree().MenuRoot()));
  MenuLoaded();
}

void MainWindow::FileOpen1Execute() {
  if (!MayReplaceMenu()) return;
  const QString chosen = prompts_.OpenFileName(this, QStringLiteral("Open"), QString(kAllFiles));
  if (chosen.isEmpty()) return;
  OpenPath(chosen.toStdString());
}

void MainWindow::OpenPath(const fs::path& path) {
  editor_.Clear();
  ReadWithProfileCheck(path);
  ClearHistory(HistoryEnd::MenuReplaced);
  if (!editor_.Tree().Empty()) MenuLoaded();
}

// Open's read: a profile mismatch is reported, the "Default" list applied and the file read
// again (the editing layer does both); any other failure is reported and leaves the menu
// empty.
void MainWindow::ReadWithProfileCheck(const fs::path& path) {
  std::vector<UserMessage> warnings;
  try {
    warnings = editor_.Open(path);
  } catch (const FileError& e) {
    ShowError(e.what());
    return;
  } catch (const MalformedMenuFile& e) {
    ShowError(e.what());
    return;
  } catch (const ProfileMismatch&) {
    ShowError("Cannot open " + path.string() + ": it holds item kinds that no profile knows");
    return;
  }
  for (const UserMessage& w : warnings) {
    if (w == ProfileMismatchWarning()) ShowSelectorEntry(0, {});
    prompts_.Show(this, w);
  }
}

void MainWindow::FileSave1Execute() {
  if (editor_.Tree().Empty()) return;
  const QString chosen = prompts_.SaveFileName(this, QStringLiteral("Save as"), QString(kAllFiles));
  if (chosen.isEmpty()) return;
  try {
    if (auto refusal = editor_.Save(chosen.toStdString()))
      prompts_.Show(this, *refusal);
    else
      MarkSaved();
  } catch (const FileError& e) {
    ShowError(e.what());
  }
}

void MainWindow::LoadMidletList() {
  midlets_ = {};
  midletListLoaded_ = false;
  try {
    JavaSlotsLoad load = LoadJavaSlots(midletTempFile_);
    midlets_ = load.slots;
    midletListLoaded_ = load.supported;
    if (load.message) prompts_.Show(this, *load.message);
  } catch (const FileError& e) {
    ShowError(e.what());
  }
}

void MainWindow::PhoneOpenExecute() {
  if (!PhoneOpen->isEnabled() || phone_->Busy() || !MayReplaceMenu()) return;
  toolBar_->repaint();
  editor_.Clear();
  phone::PhoneSession& session = phone_->Session();
  session.PhoneIdle = false;
  fs::path copied;
  phone_->Run([&] { copied = phone_->Transfers().ReadPhoneFiles(menuTempFile_, midletTempFile_); });
  if (session.PhoneConnected) session.PhoneIdle = true;
  if (!copied.empty()) {
    ReadWithProfileCheck(copied);
    MenuLoaded(false);
  }
  ClearHistory(HistoryEnd::MenuReplaced);
  std::error_code ec;
  if (fs::exists(midletTempFile_, ec)) LoadMidletList();
  kindListEnabled_ = true;
  UpdateCommands();
}

// Keeps the phone's menu as it is before it is replaced: AppDir/backups/mma_ucp-DATE-TIME,
// never overwritten. False (with a message) when it could not be kept; `backup` stays empty
// when the phone had no menu.
bool MainWindow::BackUpPhoneMenu(fs::path& backup) {
  phone::PhoneMenuRead current;
  phone_->Run([&] { current = phone_->Transfers().ReadPhoneMenu(); });
  if (current.status == phone::PhoneMenuRead::Missing) return true;
  if (current.status == phone::PhoneMenuRead::Failed) {
    ShowError("The phone's menu could not be backed up; nothing was sent to the phone");
    return false;
  }
  const fs::path dir = appDir_ / "backups";
  const std::string stamp =
      QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
  std::error_code ec;
  fs::create_directories(dir, ec);
  backup = dir / ("mma_ucp-" + stamp);
  for (int n = 2; fs::exists(backup, ec); ++n)
    backup = dir / ("mma_ucp-" + stamp + "-" + std::to_string(n));
  try {
    if (ec) throw FileError("Cannot create " + dir.string() + ": " + ec.message());
    WriteFileAtomically(backup, current.bytes);
  } catch (const FileError& e) {
    ShowError(std::string(e.what()) +
              "\nThe phone's menu could not be backed up; nothing was "
              "sent to the phone");
    return false;
  }
  return true;
}

void MainWindow::PhoneSaveExecute() {
  if (!PhoneSave->isEnabled() || phone_->Busy()) return;
  phone::PhoneSession& session = phone_->Session();
  session.PhoneIdle = false;
  auto done = [&] {
    if (session.PhoneConnected) session.PhoneIdle = true;
    UpdateCommands();
  };
  try {
    if (auto refusal = editor_.Save(menuTempFile_)) {
      prompts_.Show(this, *refusal);
      return done();
    }
  } catch (const FileError& e) {
    ShowError(e.what());
    return done();
  }
  fs::path backup;
  if (!BackUpPhoneMenu(backup)) return done();
  std::vector<std::uint8_t> sent;
  try {
    sent = ReadWholeFile(menuTempFile_);
  } catch (const FileError& e) {
    ShowError(e.what());
    return done();
  }
  bool written = false;
  phone::PhoneMenuRead back;
  phone_->Run([&] {
    written = phone_->Transfers().WritePhoneMenu(menuTempFile_);
    if (written) back = phone_->Transfers().ReadPhoneMenu();
  });
  if (written && (back.status != phone::PhoneMenuRead::Read || back.bytes != sent)) {
    // What the phone holds now is not what was sent: say so rather than report success.
    session.SavedToPhone = false;
    const std::string previous =
        backup.empty() ? std::string("the phone had no menu before")
                       : "the previous menu is in backups/" + backup.filename().string();
    ShowError("The menu on the phone differs from what was sent; " + previous);
  } else if (written) {
    MarkSaved();  // the phone holds the menu as it is now
  }
  done();
}

void MainWindow::PhoneConnectExecute() {
  if (!phone_->ModemPhoneWaiting()) return;
  phone_->SwitchPhoneToCommandMode();
}

void MainWindow::PhoneRestartExecute() {
  if (!phone_->HasBackend() || !phone_->Session().PhoneIdle) return;
  phone_->Run([this] { phone_->Transfers().RestartPhone(); });
}

std::optional<QByteArray> MainWindow::ReadPicture(const QString& path) {
  if (!phone_->HasBackend() || !phone_->Session().PhoneConnected) return std::nullopt;
  if (auto cached = pictures_.find(path); cached != pictures_.end()) return cached->second;
  std::optional<std::vector<std::uint8_t>> bytes;
  phone_->Run([&] { bytes = phone_->Transfers().ReadFileQuietly(path.toStdString()); });
  std::optional<QByteArray> picture;
  if (bytes)
    picture = QByteArray(reinterpret_cast<const char*>(bytes->data()), qsizetype(bytes->size()));
  pictures_[path] = picture;
  return picture;
}

void MainWindow::ModifyItem(const MenuNode* node) {
  if (!editor_.CanModify(node)) return;
  ItemDialogContext context;
  context.prompts = &prompts_;
  context.phoneConnected = phone_->HasBackend() && phone_->Session().PhoneConnected;
  context.midletListLoaded = midletListLoaded_;
  context.midlets = midlets_;
  context.pictureList = [this]() -> const std::vector<phone::P2kFileEntry>& {
    static const std::vector<phone::P2kFileEntry> none;
    if (!phone_->HasBackend()) return none;
    if (phone_->Session().PictureList.empty())
      phone_->Run([this] { phone_->Transfers().RetrievePictureList(); });
    return phone_->Session().PictureList;
  };
  context.readPicture = [this](const QString& path) { return ReadPicture(path); };
  ItemPropertiesDialog dialog(this, std::move(context));
  const std::size_t position = editor_.Tree().PositionOf(node);
  const TMMAItem& item = node->Item;
  dialog.LoadItem(editor_.Document().ItemData[item.Id], item.ItemType, item.Flags, item.Attributes,
                  position < 8);
  if (prompts_.Exec(dialog) != QDialog::Accepted) return;
  const EditOutcome done = Step(QStringLiteral("Modify item"),
                                [&] { return editor_.ApplyItemProperties(node, dialog.Result()); });
  if (!done) prompts_.Show(this, {done.refusal, "Item properties", MessageIcon::Error});
}

void MainWindow::HelpAbout1Execute() {
  AboutBox about(this);
  prompts_.Exec(about);
}

// --- start, close, drops ---

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // The window opens in the middle of the screen it is on.
  if (const QScreen* screen = this->screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  phone_->Start();
}

void MainWindow::DeleteTemporaryFiles() {
  std::error_code ec;
  for (const fs::path& temp : {menuTempFile_, midletTempFile_})
    if (fs::exists(temp, ec)) fs::remove(temp, ec);  // a failing deletion is ignored
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (phone_->Busy()) {
    event->ignore();
    return;
  }
  if (phone_->HasBackend()) {
    phone_->Session().PhoneFileList.clear();
    phone_->Session().PictureList.clear();
  }
  // Unsaved changes: Save runs "Save as"; closing is never refused.
  if (IsModified() && prompts_.Choose(this,
                                      {"The menu has unsaved changes. Save them before closing?",
                                       "", MessageIcon::Question},
                                      {QStringLiteral("Save"), QStringLiteral("Discard")}) == 0)
    FileSave1Execute();
  DeleteTemporaryFiles();
  if (phone_->HasBackend() && phone_->Session().SavedToPhone && phone_->Session().PhoneConnected &&
      prompts_.Ask(this, {"mma_ucp was stored to the phone\r\n      Should we reboot it?", "",
                          MessageIcon::Question}))
    phone_->Run([this] { phone_->Transfers().RestartPhone(); });
  event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() == 1 && urls.front().isLocalFile()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return;
  event->acceptProposedAction();
  if (!MayReplaceMenu()) return;
  OpenPath(urls.front().toLocalFile().toStdString());
}

}  // namespace trellune::ui
