// TSDIAppForm: the editor's one window. It owns the open menu (through the editing layer),
// shows it as a tree, binds the save-option controls to the document's options, and runs the
// file, phone and profile commands. Widgets carry the names the program's documentation
// gives them (TreeView1, ComboBox1, ...) as their objectName.
#pragma once

#include <QMainWindow>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "j2mest/java_slots.h"
#include "mma/menu_editor.h"
#include "p2k_api.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QRadioButton;
class QToolBar;
class QMenu;
class QTreeView;
class QUndoStack;

namespace trellune::ui {

class KindListBox;
class MenuTreeModel;
class MenuTreeView;
class PhoneController;
class ProgressWindow;
class UserPrompts;

struct WindowSetup {
  std::filesystem::path appDir;          // the working folder: Profiles/, temporary files
  std::unique_ptr<phone::P2kApi> phone;  // the phone backend; null for none
  UserPrompts* prompts = nullptr;        // every dialog goes through it (not owned)
  phone::Sleeper* sleeper = nullptr;     // waits of phone operations; null: the event loop
};

class MainWindow : public QMainWindow, private MenuEditListener {
  Q_OBJECT
 public:
  explicit MainWindow(WindowSetup setup);
  ~MainWindow() override;

  MenuEditor& Editor() { return editor_; }
  PhoneController& Phone() { return *phone_; }
  ProgressWindow& Progress() { return *progress_; }
  const std::filesystem::path& MenuTempFile() const { return menuTempFile_; }
  const std::filesystem::path& MidletTempFile() const { return midletTempFile_; }
  bool MidletListLoaded() const { return midletListLoaded_; }
  const JavaSlots& InstalledMidlets() const { return midlets_; }
  const std::vector<std::string>& ProfileNames() const { return profileNames_; }

  // The commands, as the menus, the tool bar and the shortcuts run them.
  void FileNew1Execute();
  void FileOpen1Execute();
  void FileSave1Execute();
  void PhoneOpenExecute();
  void PhoneSaveExecute();
  void PhoneRestartExecute();
  void PhoneConnectExecute();
  void HelpAbout1Execute();
  // "Modify item": the item properties dialog on a node, and its result into the menu.
  void ModifyItem(const MenuNode* node);

  // Tree editing: the pop-up menus' entries, on the selected node and the selected kind.
  const MenuNode* SelectedNode() const;
  void SelectNode(const MenuNode* node);
  void AddCommand(AddPlacement placement);
  void Replace1Click();
  void Deleteitem1Click();
  void Moveup1Click();
  void Movedown1Click();
  // ComboBox1Click: a kind chosen in the list opens PopupMenu1 when a node is selected.
  void ComboBox1Click(int index);
  // What opening each pop-up menu does: the entries follow the editing layer's rules.
  void PopupMenu1Popup();
  void PopupMenu2Popup();
  QMenu* PopupMenu1() const { return popupMenu1_; }
  QMenu* PopupMenu2() const { return popupMenu2_; }
  // The point PopupMenu1 opens at after a click in the list.
  QPoint PopupMenu1Place() const;
  void ComboBox2Select(int index);
  // Open without the file dialog (a FILE given at start, a file dropped on the window).
  void OpenPath(const std::filesystem::path& path);

  // The undo history; clean while the menu is as last opened or saved.
  QUndoStack& History() { return *history_; }
  // The menu differs from what was last opened or saved (also when a profile change ended
  // the history of those changes).
  bool IsModified() const;
  // Runs an edit as one step of the history, named `caption` ("Delete item"), when it
  // changes the document.
  template <typename Edit>
  auto Step(const QString& caption, Edit&& edit);
  // Puts back a document of the history, keeping the folders open that were.
  void RestoreDocument(const MenuDocument& doc);

  // The first status panel's text and the item summary's lines.
  QString FormatPanelText() const;
  QString ModifiedPanelText() const;
  QString PhonePanelText() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildActions();
  void BuildWidgets();
  void BuildPopupMenus();
  void BuildHistory();
  enum class HistoryEnd { MenuReplaced, ProfileChanged };
  void ClearHistory(HistoryEnd why);
  void MarkSaved();
  void UpdateModifiedPanel();
  void FitStatusBar();
  // Before New, Open and Open from phone replace a menu with unsaved changes: Save, Discard
  // or Cancel. False when the menu is to stay.
  bool MayReplaceMenu();
  void PushStep(const QString& caption, MenuDocument before);
  // After an add or a drop: the new node selected, a custom item's dialog, the shortcut.
  void Added(const EditOutcome& outcome, bool selectNew);
  void FillProfileSelector();
  void ShowSelectorEntry(std::optional<std::size_t> index, const std::string& name);
  void ApplyFirmwareProfile(const std::string& firmwareId);
  void ShowProfileMessages(const std::vector<UserMessage>& messages);
  void CreateNewProfile();

  // Option controls <-> the document's options.
  void RefreshOptions();
  void RefreshKindList();
  void RadioButton1Click();
  void RadioButton2Click();
  void CheckBox1Click();

  void ReadWithProfileCheck(const std::filesystem::path& path);
  void MenuLoaded(bool enableKindList = true);
  void UpdateCommands();
  void UpdatePhoneIndicators();
  void TreeView1Click();
  void UpdateStatus();
  void LoadMidletList();
  bool BackUpPhoneMenu(std::filesystem::path& backup);
  void ShowError(const std::string& text, const std::string& caption = "");
  void DeleteTemporaryFiles();
  std::optional<QByteArray> ReadPicture(const QString& path);

  // MenuEditListener: the controls follow the document.
  void AfterInsert(const MenuNode& node) override;
  void AfterRemove(const MenuNode* parent, std::size_t row) override;
  void AfterMove(const MenuNode& node) override;
  void ItemChanged(const MenuNode& node) override;
  void AfterReset() override;
  void OptionsChanged() override;
  void KindsChanged() override;

  std::filesystem::path appDir_;
  std::filesystem::path menuTempFile_;
  std::filesystem::path midletTempFile_;
  UserPrompts& prompts_;
  MenuEditor editor_;
  std::unique_ptr<phone::Sleeper> ownSleeper_;
  ProgressWindow* progress_ = nullptr;
  PhoneController* phone_ = nullptr;
  MenuTreeModel* model_ = nullptr;
  std::vector<std::string> profileNames_;
  JavaSlots midlets_;
  bool midletListLoaded_ = false;
  bool kindListEnabled_ = false;
  bool shown_ = false;
  bool refreshing_ = false;
  bool modifiedBeyondHistory_ = false;  // unsaved changes whose steps a profile change ended  //
                                        // controls being set from the options, not by the user
  std::map<QString, std::optional<QByteArray>> pictures_;  // previews read this connection

  // Commands.
  QAction* FileNew1 = nullptr;
  QAction* FileOpen1 = nullptr;
  QAction* FileSave1 = nullptr;
  QAction* FileSaveAs = nullptr;  // the "&Save as..." menu entry of FileSave1
  QAction* PhoneOpen = nullptr;
  QAction* PhoneSave = nullptr;
  QAction* PhoneRestart = nullptr;
  QAction* PhoneConnect = nullptr;  // a phone still in modem mode: switch it
  QAction* FileExit1 = nullptr;
  QAction* HelpAbout1 = nullptr;
  // Tool bar buttons of the commands that have one, enabled on their own.
  QAction* newButton_ = nullptr;
  QAction* openButton_ = nullptr;
  QAction* saveButton_ = nullptr;
  QAction* phoneOpenButton_ = nullptr;
  QAction* phoneSaveButton_ = nullptr;
  QAction* restartButton_ = nullptr;

  QToolBar* toolBar_ = nullptr;           // ToolBar1
  QComboBox* profileSelector_ = nullptr;  // ComboBox2
  MenuTreeView* menuTree_ = nullptr;      // TreeView1
  QLabel* kindLabel_ = nullptr;           // Label1
  KindListBox* kindList_ = nullptr;       // ComboBox1
  QMenu* popupMenu1_ = nullptr;           // PopupMenu1, on ComboBox1
  QMenu* popupMenu2_ = nullptr;           // PopupMenu2, on TreeView1
  QMenu* addSubitem_ = nullptr;
  QMenu* addItem_ = nullptr;
  QAction* AddFirst1 = nullptr;  // "Add subitem" > "Add First"
  QAction* AddChild1 = nullptr;  // "Add subitem" > "Add Last"
  QAction* AddFirst2 = nullptr;  // "Add item" > "Add First"
  QAction* AddItem1 = nullptr;   // "Add item" > "Add Before"
  QAction* Replace1 = nullptr;
  QAction* MenuItem1 = nullptr;  // "Modify item"
  QAction* Deleteitem1 = nullptr;
  QAction* Moveup1 = nullptr;
  QAction* Movedown1 = nullptr;
  QPlainTextEdit* summary_ = nullptr;  // TntMemo1
  QGroupBox* saveMode_ = nullptr;      // RadioGroup1
  QRadioButton* record22_ = nullptr;   // RadioButton1
  QRadioButton* record36_ = nullptr;   // RadioButton2
  QCheckBox* saveAllData_ = nullptr;   // CheckBox1
  QCheckBox* c698pFix_ = nullptr;      // CheckBox2
  QGroupBox* iconMarker_ = nullptr;    // RadioGroup2
  QRadioButton* marker06_ = nullptr;
  QRadioButton* marker0C_ = nullptr;
  QLabel* formatPanel_ = nullptr;    // StatusBar1, panel 0
  QLabel* phonePanel_ = nullptr;     // StatusBar1, panel 1
  QLabel* modifiedPanel_ = nullptr;  // \"Modified\" while the menu is unsaved
  QUndoStack* history_ = nullptr;
  QAction* EditUndo1 = nullptr;
  QAction* EditRedo1 = nullptr;
  QFrame* phoneIndicator_ = nullptr;  // Shape1
};

template <typename Edit>
auto MainWindow::Step(const QString& caption, Edit&& edit) {
  MenuDocument before = editor_.Document();
  const std::uint64_t revision = editor_.Revision();
  if constexpr (std::is_void_v<decltype(edit())>) {
    edit();
    if (editor_.Revision() != revision) PushStep(caption, std::move(before));
  } else {
    auto result = edit();
    if (editor_.Revision() != revision) PushStep(caption, std::move(before));
    return result;
  }
}

// The lines of the item summary for a node (empty for "Softkeys" and "Menu Root", which hide
// it).
QStringList ItemSummary(const MenuDocument& doc, const MenuNode& node);

}  // namespace trellune::ui
