#include "mma/menu_ops.h"

#include <gtest/gtest.h>

namespace trellune {
namespace {

std::uint8_t KindIndex(const MenuDocument& doc, const char* name) {
  return doc.Kinds.FindKindIndex(name);
}

MenuNode* Add(MenuDocument& doc, MenuNode& at, const char* kind, AddPlacement placement) {
  return AddItemFromList(doc, at, KindIndex(doc, kind), placement).node;
}

ItemDataBlock BlockOf(std::initializer_list<ItemDataEntry> entries) {
  ItemDataBlock b;
  b.Entries = entries;
  return b;
}

void Give(MenuDocument& doc, MenuNode& node, ItemDataBlock block) {
  doc.ItemData[node.Item.Id] = std::move(block);
  ++doc.DataItemCount;
  AttachData(doc, node);
}

TEST(Renumbering, NewMenuWithOneMainItem) {
  MenuDocument doc;
  NewMenu(doc);
  MenuNode* root = doc.Tree.MenuRoot();
  MenuNode* item = Add(doc, *root, "PhoneBook", AddPlacement::SubitemLast);
  EXPECT_EQ(item->Item.Id, 11);
  EXPECT_EQ(item->Item.ParentIndex, 9);
  EXPECT_EQ(item->Item.NextIndex, 255);
  EXPECT_EQ(item->Item.ChildIndex, 255);
  EXPECT_EQ(item->Item.Attributes, 0x41);
  EXPECT_EQ(root->Item.ChildIndex, 10);
  EXPECT_EQ(doc.Tree.Count(), 10u);
}

// Main items A, B, C; A has A1, A2 (A1 has A1a), B has B1: records follow the writer's runs.
TEST(Renumbering, RecordNumbersFollowTheRunOrder) {
  MenuDocument doc;
  NewMenu(doc);
  MenuNode* root = doc.Tree.MenuRoot();
  MenuNode* a = Add(doc, *root, "Games", AddPlacement::SubitemLast);
  MenuNode* b = Add(doc, *root, "Tools", AddPlacement::SubitemLast);
  MenuNode* c = Add(doc, *root, "Settings", AddPlacement::SubitemLast);
  MenuNode* a1 = Add(doc, *a, "Camera", AddPlacement::SubitemLast);
  MenuNode* a2 = Add(doc, *a, "Video", AddPlacement::SubitemLast);
  MenuNode* b1 = Add(doc, *b, "Calculator", AddPlacement::SubitemLast);
  EXPECT_EQ(a->Item.Id, 11);
  EXPECT_EQ(b->Item.Id, 12);
  EXPECT_EQ(c->Item.Id, 13);
  EXPECT_EQ(a1->Item.Id, 14);
  EXPECT_EQ(a2->Item.Id, 15);
  EXPECT_EQ(b1->Item.Id, 16);

  MenuNode* a1a = Add(doc, *a1, "Radio", AddPlacement::SubitemLast);
  EXPECT_EQ(a1a->Item.Id, 16);
  EXPECT_EQ(b1->Item.Id, 17);
  // Links: NextIndex of an item with a next sibling is its own Id (the sibling's index).
  EXPECT_EQ(a->Item.NextIndex, 11);
  EXPECT_EQ(c->Item.NextIndex, 255);
  EXPECT_EQ(a->Item.ChildIndex, 13);
  EXPECT_EQ(a1->Item.ChildIndex, 15);
  EXPECT_EQ(a1a->Item.ParentIndex, 13);
  EXPECT_EQ(b1->Item.ParentIndex, 11);
  EXPECT_EQ(a->Item.ItemType, 1);

  // The per-node formula agrees with the numbering for every main item.
  doc.Tree.ForEach([&](MenuNode& node) {
    if (doc.Tree.PositionOf(&node) >= kFirstMainPosition) {
      EXPECT_EQ(ItemRecordNumber(doc.Tree, node), node.Item.Id) << node.Text;
    }
  });
}

TEST(Editing, DeletingTheLastChildMakesTheFolderAnItemAgain) {
  MenuDocument doc;
  NewMenu(doc);
  MenuNode* folder = Add(doc, *doc.Tree.MenuRoot(), "Games", AddPlacement::SubitemLast);
  MenuNode* child = Add(doc, *folder, "Camera", AddPlacement::SubitemLast);
  ASSERT_EQ(folder->Item.ItemType, 1);
  Give(doc, *child, BlockOf({MakeTextEntry(kUrlLink, "abc")}));
  ASSERT_EQ(doc.DataItemCount, 1);
  DeleteItem(doc, *child);
  EXPECT_EQ(folder->Item.ItemType, 0);
  EXPECT_EQ(folder->Item.ChildIndex, 255);
  EXPECT_EQ(doc.DataItemCount, 0);
  EXPECT_FALSE(doc.ItemData[12].has_value());
}

TEST(Editing, AddingASubitemKeepsOnlyTitlesAndIconsOfTheNewFolder) {
  MenuDocument doc;
  NewMenu(doc);
  MenuNode* root = doc.Tree.MenuRoot();
  MenuNode* withTitle = Add(doc, *root, "Games", AddPlacement::SubitemLast);
  MenuNode* urlOnly = Add(doc, *root, "Tools", AddPlacement::SubitemLast);
  ItemDataEntry title = MakeTitlesEntry(kMenuTitles, {{1, u"Play"}});
  Give(doc, *withTitle, BlockOf({title, MakeTextEntry(kUrlLink, "http://x")}));
  Give(doc, *urlOnly, BlockOf({MakeTextEntry(kUrlLink, "http://y")}));

  Add(doc, *withTitle, "Camera", AddPlacement::SubitemFirst);
  const auto& kept = doc.ItemData[withTitle->Item.Id];
  ASSERT_TRUE(kept);
  ASSERT_EQ(kept->Entries.size(), 1u);
  EXPECT_EQ(kept->Entries[0], title);
  EXPECT_EQ(withTitle->Item.DataLength, title.Length + 3);

  Add(doc, *urlOnly, "Camera", AddPlacement::SubitemLast);
  EXPECT_FALSE(urlOnly->Item.HasData);
  EXPECT_EQ(urlOnly->Item.DataLength, 0);
  EXPECT_FALSE(doc.ItemData[urlOnly->Item.Id]);
}

TEST(Editing, MovingASubtreeCarriesItsDataToTheNewSlots) {
  MenuDocument doc;
  NewMenu(doc);
  MenuNode* root = doc.Tree.MenuRoot();
  MenuNode* a = Add(doc, *root, "Games", AddPlacement::SubitemLast);
  MenuNode* b = Add(doc, *root, "Tools", AddPlacement::SubitemLast);
  MenuNode* b1 = Add(doc, *b, "Camera", AddPlacement::SubitemLast);
  Give(doc, *b, BlockOf({MakeTextEntry(kUrlLink, "b")}));
  Give(doc, *b1, BlockOf({MakeTextEntry(kUrlLink, "b1")}));
  ASSERT_EQ(b->Item.Id, 12);
  ASSERT_EQ(b1->Item.Id, 13);

  MoveUp(doc, *b);
  EXPECT_EQ(b->Item.Id, 11);
  EXPECT_EQ(a->Item.Id, 12);
  EXPECT_EQ(b1->Item.Id, 13);
  EXPECT_EQ(doc.ItemData[11]->Entries[0].Text, "b");
  EXPECT_EQ(doc.ItemData[11]->OwnerId, 11);
  EXPECT_FALSE(doc.ItemData[12]);
  EXPECT_EQ(doc.ItemData[13]->Entries[0].Text, "b1");

  MoveDown(doc, *b);
  EXPECT_EQ(doc.Tree.IndexOf(b), 1u);
  EXPECT_EQ(doc.ItemData[12]->Entries[0].Text, "b");
}

TEST(Editing, MoveDownOnTheSecondToLastMakesItLast) {
  MenuDocument doc;
  NewMenu(doc);
  MenuNode* root = doc.Tree.MenuRoot();
  Add(doc, *root, "Games", AddPlacement::SubitemLast);
  MenuNode* b = Add(doc, *root, "Tools", AddPlacement::SubitemLast);
  MenuNode* c = Add(doc, *root, "Camera", AddPlacement::SubitemLast);
  MoveDown(doc, *b);
  EXPECT_EQ(doc.Tree.IndexOf(b), 2u);
  EXPECT_EQ(doc.Tree.IndexOf(c), 1u);
  EXPECT_EQ(b->Item.NextIndex, 255);
}

TEST(Editing, ReplacingAKindDiscardsItsData) {
  MenuDocument doc;
  NewMenu(doc);
  MenuNode* item = Add(doc, *doc.Tree.MenuRoot(), "Games", AddPlacement::SubitemLast);
  Give(doc, *item, BlockOf({MakeTitlesEntry(kMenuTitles, {{1, u"x"}})}));
  ReplaceFromList(doc, *item, KindIndex(doc, "AirplaneMod"));
  EXPECT_EQ(item->Item.Name, "AirplaneMod");
  EXPECT_EQ(item->Text, "AirplnMode [A630]");
  EXPECT_FALSE(item->Item.HasData);
  EXPECT_FALSE(doc.ItemData[item->Item.Id]);
  EXPECT_EQ(item->Item.Attributes, 0x40);

  // A softkey's slot is emptied too, and its text keeps the softkey prefix.
  MenuNode* smart = doc.Tree.NodeAt(7);
  Give(doc, *smart, BlockOf({MakeTitlesEntry(kSoftkeyTitles, {{1, u"x"}})}));
  ReplaceFromList(doc, *smart, KindIndex(doc, "Mutilmedia"));
  EXPECT_EQ(smart->Text, "Smart: Multimedia");
  EXPECT_FALSE(doc.ItemData[9]);
}

TEST(Editing, CustomItemsAreNumberedAcrossNewMenus) {
  MenuDocument doc;
  NewMenu(doc);
  const std::uint8_t custom = KindIndex(doc, "Custom item");
  EditResult first = AddItemFromList(doc, *doc.Tree.MenuRoot(), custom, AddPlacement::SubitemLast);
  EditResult second = AddItemFromList(doc, *doc.Tree.MenuRoot(), custom, AddPlacement::SubitemLast);
  EXPECT_TRUE(first.openDialog);
  EXPECT_EQ(first.node->Item.Name, "~1");
  EXPECT_EQ(second.node->Text, "~2");
  EXPECT_EQ(second.node->Item.Flags, 0x18);
  NewMenu(doc);
  EditResult third = AddItemFromList(doc, *doc.Tree.MenuRoot(), custom, AddPlacement::SubitemLast);
  EXPECT_EQ(third.node->Item.Name, "~3");

  EditResult replaced = ReplaceFromList(doc, *third.node, custom);
  EXPECT_TRUE(replaced.openDialog);
  EXPECT_EQ(third.node->Item.Name, "~4");
  EXPECT_EQ(third.node->Item.Flags, 0x18);
}

TEST(Editing, ShortcutKindsGetTheirShortcutEntry) {
  MenuDocument doc;
  NewMenu(doc);
  MenuNode* item = Add(doc, *doc.Tree.MenuRoot(), "MF-Music", AddPlacement::SubitemLast);
  EXPECT_EQ(item->Item.Name, "MF-Music");
  EXPECT_EQ(item->Text, "MF-Music [SC]");
  ASSERT_TRUE(doc.ItemData[item->Item.Id]);
  const ItemDataEntry& e = doc.ItemData[item->Item.Id]->Entries.at(0);
  EXPECT_EQ(e.TypeCode, kShortcutData);
  EXPECT_EQ(e.Length, 25);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(e.Shortcut.data())), "MF-Music");
  EXPECT_EQ(item->Item.DataLength, 28);
  EXPECT_EQ(doc.DataItemCount, 1);
}

TEST(Editing, AddItemPlacements) {
  MenuDocument doc;
  NewMenu(doc);
  MenuNode* root = doc.Tree.MenuRoot();
  MenuNode* b = Add(doc, *root, "Tools", AddPlacement::SubitemLast);
  MenuNode* a = Add(doc, *b, "Games", AddPlacement::ItemFirst);
  MenuNode* between = Add(doc, *b, "Camera", AddPlacement::ItemBefore);
  EXPECT_EQ(doc.Tree.IndexOf(a), 0u);
  EXPECT_EQ(doc.Tree.IndexOf(between), 1u);
  EXPECT_EQ(doc.Tree.IndexOf(b), 2u);
  EXPECT_EQ(a->Parent, root);
}

TEST(NewMenu, HasTheDefaultSoftkeysAndAnEmptyRoot) {
  MenuDocument doc;
  NewMenu(doc);
  ASSERT_EQ(doc.Tree.Count(), 9u);
  const char* texts[] = {"Softkeys",           "LSK: PhoneBook",     "RSK: Message",
                         "Up: RecentCall",     "Down: Multimedia",   "Left: AlarmClock",
                         "Right: MMRingStyle", "Smart: VoiceRecord", "Menu Root"};
  for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(doc.Tree.NodeAt(i)->Text, texts[i]);
  EXPECT_EQ(doc.Tree.NodeAt(4)->Item.Name, "Mutilmedia");
  EXPECT_EQ(doc.Tree.NodeAt(4)->Item.Id, 6);
  EXPECT_EQ(doc.Tree.NodeAt(8)->Item.Id, 9);
  EXPECT_EQ(doc.Tree.NodeAt(8)->Item.ChildIndex, 10);
  EXPECT_EQ(StatusText(doc), "Format: 0-byte  Entries: 0");
}

}  // namespace
}  // namespace trellune
