// TForm3, "Item properties": one item's titles, attributes, icons and function. The dialog
// only binds its controls to the item data codec of the core, which decodes the item's
// entries into fields and encodes them back.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "itemdata/item_codec.h"
#include "j2mest/java_slots.h"
#include "p2k_api.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableWidget;

namespace trellune::ui {

class PictureView;
class UserPrompts;

// What the dialog needs of the window: the phone and the MIDlet list.
struct ItemDialogContext {
  UserPrompts* prompts = nullptr;
  bool phoneConnected = false;
  bool midletListLoaded = false;
  JavaSlots midlets;
  // The phone's pictures, retrieved first when none are known yet.
  std::function<const std::vector<phone::P2kFileEntry>&()> pictureList;
  // A picture's bytes for a preview, or nothing.
  std::function<std::optional<QByteArray>(const QString& path)> readPicture;
};

class ItemPropertiesDialog : public QDialog {
  Q_OBJECT
 public:
  ItemPropertiesDialog(QWidget* owner, ItemDialogContext context);
  ~ItemPropertiesDialog() override;

  void LoadItem(const std::optional<ItemDataBlock>& block, std::uint8_t itemType,
                std::uint8_t flags, std::uint8_t attributes, bool restricted);
  // What OK collected: the item's data and bytes.
  const ItemProperties& Result() const { return result_; }
  ItemCodec& Codec() { return codec_; }

  // The buttons, as a click runs them.
  void OkClick();
  void ApplyClick();
  void ResetAllDataClick();
  void BrowseClick(int slot);

 private:
  struct TitleList {
    QTableWidget* table = nullptr;
    QPushButton* add = nullptr;
    QPushButton* edit = nullptr;
    QPushButton* remove = nullptr;
    std::vector<TitleRow>* rows = nullptr;
    bool textEditor = false;  // "Show text" uses the "Text editor " dialog
  };
  struct IconRow {
    QComboBox* source = nullptr;
    QLineEdit* path = nullptr;
    QPushButton* browse = nullptr;
    PictureView* preview = nullptr;
  };

  void Build();
  QWidget* BuildVisualTab();
  QWidget* BuildFunctionTab();
  TitleList MakeList(QWidget* parent, const char* name, std::vector<TitleRow>* rows,
                     bool textEditor);
  void ClearPanel();
  void FillFromForm();
  void FillList(TitleList& list);
  void ListAdd(TitleList& list);
  void ListEdit(TitleList& list);
  void ListDelete(TitleList& list);
  void ListChanged(const TitleList& list);
  void ChooseFunction(int index);
  void EnableFunctionGroup(ItemFunction function);
  void IconPathChanged(int slot);
  void SourceChanged(int slot);
  void UpdateBrowseButtons();
  void FunctionFieldChanged(const QString& text);
  std::optional<UserMessage> SyncFunctionFields();
  std::optional<UserMessage> ApplyDataChange();
  void StopPreviews();

  ItemDialogContext context_;
  ItemCodec codec_;
  ItemProperties result_;
  bool loading_ = false;

  QTabWidget* tabs_ = nullptr;
  TitleList menuTitles_, softkeyTitles_, showText_;
  QCheckBox* lockable_ = nullptr;
  QCheckBox* protected_ = nullptr;
  QCheckBox* nonChangeable_ = nullptr;
  QGroupBox* icons_ = nullptr;
  std::array<IconRow, 3> iconRows_;
  QGroupBox* urlGroup_ = nullptr;
  QLineEdit* url_ = nullptr;
  QGroupBox* appGroup_ = nullptr;
  QLineEdit* midlet1_ = nullptr;
  QLineEdit* midletName_ = nullptr;
  QLineEdit* midletVendor_ = nullptr;
  QComboBox* installed_ = nullptr;
  QGroupBox* actionGroup_ = nullptr;
  QLineEdit* actionCode_ = nullptr;
  QGroupBox* shortcutGroup_ = nullptr;
  QLineEdit* shortcut_ = nullptr;
  QGroupBox* callGroup_ = nullptr;
  QRadioButton* call_ = nullptr;
  QRadioButton* send_ = nullptr;
  std::array<QLineEdit*, 3> codes_{};
  QGroupBox* showTextGroup_ = nullptr;
  QPushButton* reset_ = nullptr;
  QComboBox* function_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* apply_ = nullptr;
  QPushButton* cancel_ = nullptr;
  std::vector<JavaSlots::value_type::value_type> installedMidlets_;  // InstalledMidlets
};

}  // namespace trellune::ui
