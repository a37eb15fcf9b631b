#include "mma/menu_editor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "core/doc_checks.h"
#include "mma/menu_ops.h"
#include "mma/menu_reader.h"

namespace trellune {
namespace {

using test::NumberingProblem;
using test::SameDocument;

int KindIndex(const MenuEditor& e, const char* name) {
  return e.Document().Kinds.FindKindIndex(name);
}

const MenuNode* Add(MenuEditor& e, const MenuNode* at, const char* kind, AddPlacement placement) {
  EditOutcome out = e.Add(at, placement, KindIndex(e, kind));
  EXPECT_TRUE(out.done) << kind << ": " << out.refusal;
  return out.node;
}

const MenuNode* AddLast(MenuEditor& e, const MenuNode* at, const char* kind) {
  return Add(e, at, kind, AddPlacement::SubitemLast);
}

ItemProperties WithData(const MenuNode* node, std::initializer_list<ItemDataEntry> entries) {
  ItemProperties p;
  p.data.emplace();
  p.data->Entries = entries;
  p.ItemType = node->Item.ItemType;
  p.Flags = node->Item.Flags;
  p.Attributes = node->Item.Attributes;
  return p;
}

void Give(MenuEditor& e, const MenuNode* node, std::initializer_list<ItemDataEntry> entries) {
  EditOutcome out = e.ApplyItemProperties(node, WithData(node, entries));
  ASSERT_TRUE(out.done) << out.refusal;
}

const MenuNode* Root(const MenuEditor& e) {
  return e.Tree().MenuRoot();
}

TEST(MenuEditor, NewMenuHasTheDefaultSoftkeysAndAnEmptyRoot) {
  MenuEditor e;
  e.NewMenu();
  ASSERT_EQ(e.Tree().Count(), 9u);
  const char* texts[] = {"Softkeys",           "LSK: PhoneBook",     "RSK: Message",
                         "Up: RecentCall",     "Down: Multimedia",   "Left: AlarmClock",
                         "Right: MMRingStyle", "Smart: VoiceRecord", "Menu Root"};
  for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(e.Tree().NodeAt(i)->Text, texts[i]);
  EXPECT_EQ(e.Tree().NodeAt(4)->Item.Name, "Mutilmedia");
  EXPECT_EQ(e.Tree().NodeAt(4)->Item.Id, 6);
  EXPECT_EQ(e.Tree().NodeAt(8)->Item.Id, 9);
  EXPECT_EQ(e.Tree().NodeAt(8)->Item.ChildIndex, 10);
  EXPECT_EQ(StatusText(e.Document()), "Format: 0-byte  Entries: 0");
}

TEST(MenuEditor, OneMainItemIsRecordTenOfTheRoot) {
  MenuEditor e;
  e.NewMenu();
  const MenuNode* item = AddLast(e, Root(e), "PhoneBook");
  EXPECT_EQ(item->Item.Id, 11);
  EXPECT_EQ(item->Item.ParentIndex, 9);
  EXPECT_EQ(item->Item.NextIndex, 255);
  EXPECT_EQ(item->Item.ChildIndex, 255);
  EXPECT_EQ(item->Item.Attributes, 0x41);
  EXPECT_EQ(Root(e)->Item.ChildIndex, 10);
  EXPECT_EQ(StatusText(e.Document()), "Format: 0-byte  Entries: 1");
}

// Main items A, B, C; A has A1, A2 (A1 gets A1a), B has B1: records follow the writer's runs.
TEST(MenuEditor, RecordNumbersFollowTheRunOrder) {
  MenuEditor e;
  e.NewMenu();
  const MenuNode* a = AddLast(e, Root(e), "Games");
  const MenuNode* b = AddLast(e, Root(e), "Tools");
  const MenuNode* c = AddLast(e, Root(e), "Settings");
  const MenuNode* a1 = AddLast(e, a, "Camera");
  const MenuNode* a2 = AddLast(e, a, "Video");
  const MenuNode* b1 = AddLast(e, b, "Calculator");
  EXPECT_EQ(
      (std::vector<int>{a->Item.Id, b->Item.Id, c->Item.Id, a1->Item.Id, a2->Item.Id, b1->Item.Id}),
      (std::vector<int>{11, 12, 13, 14, 15, 16}));
  const MenuNode* a1a = AddLast(e, a1, "Radio");
  EXPECT_EQ(a1a->Item.Id, 16);
  EXPECT_EQ(b1->Item.Id, 17);
  EXPECT_EQ(a->Item.NextIndex, 11);  // its own Id: the next sibling's record index
  EXPECT_EQ(c->Item.NextIndex, 255);
  EXPECT_EQ(a->Item.ChildIndex, 13);
  EXPECT_EQ(a1->Item.ChildIndex, 15);
  EXPECT_EQ(a1a->Item.ParentIndex, 13);
  EXPECT_EQ(b1->Item.ParentIndex, 11);
  EXPECT_EQ(a->Item.ItemType, 1);
  EXPECT_EQ(NumberingProblem(e.Document()), "");
}

TEST(MenuEditor, DeletingTheLastChildMakesTheFolderAnItemAgain) {
  MenuEditor e;
  e.NewMenu();
  const MenuNode* folder = AddLast(e, Root(e), "Games");
  const MenuNode* child = AddLast(e, folder, "Camera");
  ASSERT_EQ(folder->Item.ItemType, 1);
  Give(e, child, {MakeTextEntry(kUrlLink, "abc")});
  ASSERT_EQ(e.Document().DataItemCount, 1);
  EXPECT_TRUE(e.Delete(child));
  EXPECT_EQ(folder->Item.ItemType, 0);
  EXPECT_EQ(folder->Item.ChildIndex, 255);
  EXPECT_EQ(e.Document().DataItemCount, 0);
  EXPECT_FALSE(e.Document().ItemData[12].has_value());
}

TEST(MenuEditor, AddingASubitemKeepsOnlyTitlesAndIconsOfTheNewFolder) {
  MenuEditor e;
  e.NewMenu();
  const MenuNode* withTitle = AddLast(e, Root(e), "Games");
  const MenuNode* urlOnly = AddLast(e, Root(e), "Tools");
  const ItemDataEntry title = MakeTitlesEntry(kMenuTitles, {{1, u"Play"}});
  Give(e, withTitle, {title, MakeTextEntry(kUrlLink, "http://x")});
  Give(e, urlOnly, {MakeTextEntry(kUrlLink, "http://y")});

  Add(e, withTitle, "Camera", AddPlacement::SubitemFirst);
  const auto& kept = e.Document().ItemData[withTitle->Item.Id];
  ASSERT_TRUE(kept);
  ASSERT_EQ(kept->Entries.size(), 1u);
  EXPECT_EQ(kept->Entries[0], title);
  EXPECT_EQ(withTitle->Item.DataLength, title.Length + 3);

  AddLast(e, urlOnly, "Camera");
  EXPECT_FALSE(urlOnly->Item.HasData);
  EXPECT_EQ(urlOnly->Item.DataLength, 0);
  EXPECT_FALSE(e.Document().ItemData[urlOnly->Item.Id]);
}

TEST(MenuEditor, MovingASubtreeCarriesItsDataToTheNewSlots) {
  MenuEditor e;
  e.NewMenu();
  const MenuNode* a = AddLast(e, Root(e), "Games");
  const MenuNode* b = AddLast(e, Root(e), "Tools");
  const MenuNode* b1 = AddLast(e, b, "Camera");
  Give(e, b, {MakeTextEntry(kUrlLink, "b")});
  Give(e, b1, {MakeTextEntry(kUrlLink, "b1")});
  ASSERT_EQ(b->Item.Id, 12);
  ASSERT_EQ(b1->Item.Id, 13);

  EXPECT_TRUE(e.MoveUp(b));
  const ItemDataTable& data = e.Document().ItemData;
  EXPECT_EQ(b->Item.Id, 11);
  EXPECT_EQ(a->Item.Id, 12);
  EXPECT_EQ(b1->Item.Id, 13);
  EXPECT_EQ(data[11]->Entries[0].Text, "b");
  EXPECT_EQ(data[11]->OwnerId, 11);
  EXPECT_FALSE(data[12]);
  EXPECT_EQ(data[13]->Entries[0].Text, "b1");

  EXPECT_TRUE(e.MoveDown(b));
  EXPECT_EQ(e.Tree().IndexOf(b), 1u);
  EXPECT_EQ(data[12]->Entries[0].Text, "b");
}

TEST(MenuEditor, MoveDownOnTheSecondToLastMakesItLast) {
  MenuEditor e;
  e.NewMenu();
  AddLast(e, Root(e), "Games");
  const MenuNode* b = AddLast(e, Root(e), "Tools");
  const MenuNode* c = AddLast(e, Root(e), "Camera");
  EXPECT_TRUE(e.MoveDown(b));
  EXPECT_EQ(e.Tree().IndexOf(b), 2u);
  EXPECT_EQ(e.Tree().IndexOf(c), 1u);
  EXPECT_EQ(b->Item.NextIndex, 255);
  EXPECT_FALSE(e.CanMoveDown(b));
}

TEST(MenuEditor, ReplacingAKindDiscardsItsData) {
  MenuEditor e;
  e.NewMenu();
  const MenuNode* item = AddLast(e, Root(e), "Games");
  Give(e, item, {MakeTitlesEntry(kMenuTitles, {{1, u"x"}})});
  EXPECT_TRUE(e.Replace(item, KindIndex(e, "AirplaneMod")));
  EXPECT_EQ(item->Item.Name, "AirplaneMod");
  EXPECT_EQ(item->Text, "AirplnMode [A630]");
  EXPECT_FALSE(item->Item.HasData);
  EXPECT_FALSE(e.Document().ItemData[item->Item.Id]);
  EXPECT_EQ(item->Item.Attributes, 0x40);

  // A softkey's slot is emptied too, and its text keeps the softkey prefix.
  const MenuNode* smart = e.Tree().NodeAt(7);
  Give(e, smart, {MakeTitlesEntry(kSoftkeyTitles, {{1, u"x"}})});
  EXPECT_TRUE(e.Replace(smart, KindIndex(e, "Mutilmedia")));
  EXPECT_EQ(smart->Text, "Smart: Multimedia");
  EXPECT_FALSE(e.Document().ItemData[9]);
}

TEST(MenuEditor, CustomItemsAreNumberedAcrossNewMenus) {
  MenuEditor e;
  e.NewMenu();
  const int custom = KindIndex(e, "Custom item");
  EditOutcome first = e.Add(Root(e), AddPlacement::SubitemLast, custom);
  EditOutcome second = e.Add(Root(e), AddPlacement::SubitemLast, custom);
  EXPECT_TRUE(first.openDialog);
  EXPECT_EQ(first.node->Item.Name, "~1");
  EXPECT_EQ(second.node->Text, "~2");
  EXPECT_EQ(second.node->Item.Flags, 0x18);
  e.NewMenu();
  EditOutcome third = e.Add(Root(e), AddPlacement::SubitemLast, custom);
  EXPECT_EQ(third.node->Item.Name, "~3");

  EditOutcome replaced = e.Replace(third.node, custom);
  EXPECT_TRUE(replaced.openDialog);
  EXPECT_EQ(third.node->Item.Name, "~4");
  EXPECT_EQ(third.node->Item.Flags, 0x18);
}

TEST(MenuEditor, ShortcutKindsGetTheirShortcutEntry) {
  MenuEditor e;
  e.NewMenu();
  for (bool dropped : {false, true}) {
    const MenuNode* item = dropped ? e.DropKind(KindIndex(e, "MF-Music"), e.Tree().NodeAt(9)).node
                                   : AddLast(e, Root(e), "MF-Music");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->Item.Name, "MF-Music");
    EXPECT_EQ(item->Text, "MF-Music [SC]");
    ASSERT_TRUE(e.Document().ItemData[item->Item.Id]);
    const ItemDataEntry& entry = e.Document().ItemData[item->Item.Id]->Entries.at(0);
    EXPECT_EQ(entry.TypeCode, kShortcutData);
    EXPECT_EQ(entry.Length, 25);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry.Shortcut.data())), "MF-Music");
    EXPECT_EQ(item->Item.DataLength, 28);
  }
  EXPECT_EQ(e.Document().DataItemCount, 2);
}

TEST(MenuEditor, AddItemPlacementsAndDrops) {
  MenuEditor e;
  e.NewMenu();
  const MenuNode* b = AddLast(e, Root(e), "Tools");
  const MenuNode* a = Add(e, b, "Games", AddPlacement::ItemFirst);
  const MenuNode* between = Add(e, b, "Camera", AddPlacement::ItemBefore);
  EXPECT_EQ(e.Tree().IndexOf(a), 0u);
  EXPECT_EQ(e.Tree().IndexOf(between), 1u);
  EXPECT_EQ(e.Tree().IndexOf(b), 2u);
  EXPECT_EQ(a->Parent, Root(e));

  // A dropped node goes just before the target, into the target's folder.
  const MenuNode* inside = AddLast(e, b, "Radio");
  EXPECT_TRUE(e.DropNode(a, inside));
  EXPECT_EQ(a->Parent, b);
  EXPECT_EQ(e.Tree().IndexOf(a), 0u);
  // Dropped on the sibling after it, or on itself, it stays where it is.
  EXPECT_TRUE(e.DropNode(a, inside));
  EXPECT_EQ(e.Tree().IndexOf(a), 0u);
  EXPECT_FALSE(e.DropNode(b, a));  // into its own subtree
  EXPECT_EQ(NumberingProblem(e.Document()), "");
}

// The predicates over node positions. The fixture (positions in brackets):
//   Softkeys [0], softkeys [1..7], Menu Root [8]:
//     A [9] folder: A1 [10], A2 [11], A3 [12]; B [13] (takes no subitems); C [14]
TEST(MenuEditor, PredicatesFollowTheEnabledRules) {
  MenuEditor e;
  e.ImportJson(Json::parse(R"({
    "softkeys": {"name": "Container", "items": [
      {"name": "PhoneBook"}, {"name": "Message"}, {"name": "RecentCall"}, {"name": "Mutilmedia"},
      {"name": "AlarmClock"}, {"name": "MMRingStyle"}, {"name": "VoiceRecord"}]},
    "menuRoot": {"name": "MenuRoot", "items": [
      {"name": "Games", "items": [{"name": "Camera"}, {"name": "Video"}, {"name": "Radio"}]},
      {"name": "Tools", "allowSubitems": 0},
      {"name": "Settings"}]}})"));
  ASSERT_EQ(e.Tree().Count(), 15u);
  const int kind = KindIndex(e, "Calculator");
  // Columns: add subitem, add item, replace, modify, delete, move up, move down, drop a node
  // here, drop a kind here, drag this node.
  struct Row {
    std::size_t position;
    const char* what;
    const char* allowed;
  } rows[] = {
      {0, "Softkeys", "----------"},           {1, "first softkey", "--XX------"},
      {7, "last softkey", "--XX------"},       {8, "Menu Root", "X---------"},
      {9, "folder, first", "XXXXX-XXXX"},      {10, "first child", "XXXXX-XXXX"},
      {11, "middle child", "XXXXXXXXXX"},      {12, "last child", "XXXXXX-XXX"},
      {13, "takes no subitems", "-XXXXXXXXX"}, {14, "last main item", "XXXXXX-XXX"},
  };
  for (const Row& r : rows) {
    const MenuNode* n = e.Tree().NodeAt(r.position);
    const MenuNode* mover = e.Tree().NodeAt(r.position == 14 ? 13 : 14);
    const bool got[] = {
        bool(e.CanAdd(n, AddPlacement::SubitemFirst, kind)),
        bool(e.CanAdd(n, AddPlacement::ItemBefore, kind)),
        bool(e.CanReplace(n, kind)),
        bool(e.CanModify(n)),
        bool(e.CanDelete(n)),
        bool(e.CanMoveUp(n)),
        bool(e.CanMoveDown(n)),
        bool(e.CanDropNode(mover, n)),
        bool(e.CanDropKind(kind, n)),
        bool(e.CanDropNode(n, mover)),
    };
    std::string shown;
    for (bool g : got) shown += g ? 'X' : '-';
    EXPECT_EQ(shown, r.allowed) << r.what;
    // The node-only overloads agree, and the two subitem and two item placements agree.
    EXPECT_EQ(bool(e.CanAdd(n, AddPlacement::SubitemLast)), got[0]) << r.what;
    EXPECT_EQ(bool(e.CanAdd(n, AddPlacement::ItemFirst)), got[1]) << r.what;
    EXPECT_EQ(bool(e.CanReplace(n)), got[2]) << r.what;
    EXPECT_EQ(bool(e.CanDrag(n)), r.position >= 9) << r.what;  // a drag starts on main items
  }
  // Nothing is allowed without a node, on a node of another menu, or with a kind that is
  // not in the list.
  MenuEditor elsewhere;
  elsewhere.NewMenu();
  for (const MenuNode* n : std::vector<const MenuNode*>{nullptr, elsewhere.Tree().NodeAt(8)}) {
    EXPECT_FALSE(e.CanAdd(n, AddPlacement::SubitemLast));
    EXPECT_FALSE(e.CanModify(n));
    EXPECT_FALSE(e.CanDelete(n));
    EXPECT_FALSE(e.CanDrag(n));
    EXPECT_FALSE(e.CanDropNode(n, e.Tree().NodeAt(9)));
    EXPECT_FALSE(e.CanDropNode(e.Tree().NodeAt(9), n));
  }
  for (int bad : {-1, int(e.Document().Kinds.KnownKindCount), 1000}) {
    EXPECT_FALSE(e.CanAdd(Root(e), AddPlacement::SubitemLast, bad));
    EXPECT_FALSE(e.CanReplace(e.Tree().NodeAt(9), bad));
    EXPECT_FALSE(e.CanDropKind(bad, e.Tree().NodeAt(9)));
  }
}

// 251 additions would need 261 records: the numbering would wrap and ids collide with the
// softkeys' slots. Additions past 255 records are refused, deletions after them leave every
// item with its own data, and the menu saves and reads back whole.
TEST(MenuEditor, AFullMenuRefusesMoreItemsAndStaysConsistent) {
  MenuEditor e;
  e.NewMenu();
  const int shortcut = KindIndex(e, "DialedCalls");
  const int plain = KindIndex(e, "Games");
  for (int k = 0; k < 7; ++k)
    Give(e, e.Tree().NodeAt(1 + k), {MakeTitlesEntry(kSoftkeyTitles, {{1, u"key"}})});
  int added = 0, refused = 0;
  for (int i = 0; i < 251; ++i) {
    EditOutcome out = e.Add(Root(e), AddPlacement::SubitemFirst, i % 2 ? shortcut : plain);
    if (out.done) {
      ++added;
    } else {
      ++refused;
      EXPECT_EQ(out.refusal,
                "The menu is full: a menu file holds at most 255 records (245 main items)");
    }
  }
  EXPECT_EQ(added, 245);
  EXPECT_EQ(refused, 6);
  EXPECT_EQ(e.Tree().Count() + 1, kMaxRecords);
  EXPECT_FALSE(e.CanDropKind(plain, e.Tree().NodeAt(9)));
  EXPECT_TRUE(e.CanDelete(e.Tree().NodeAt(9)));
  EXPECT_TRUE(e.CanMoveDown(e.Tree().NodeAt(9)));
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(e.Delete(e.Tree().NodeAt(9)));
  EXPECT_EQ(NumberingProblem(e.Document()), "");
  for (int k = 0; k < 7; ++k)
    EXPECT_EQ(e.Document().ItemData[3 + k]->Entries.at(0).TypeCode, kSoftkeyTitles) << k;

  WriteOutcome out = e.Serialize();
  ASSERT_TRUE(out.ok()) << out.refusal->text;
  MenuDocument back;
  ReadMenuBytes(out.bytes, back);
  EXPECT_EQ(back.Tree.Count(), e.Tree().Count());
  EXPECT_EQ(back.ItemData.Slots, e.Document().ItemData.Slots);
}

// A refused command changes nothing, whatever node or kind index it is given, and says why;
// its predicate and the command agree.
TEST(MenuEditor, RefusedCommandsChangeNothing) {
  MenuEditor e;
  e.NewMenu();
  const MenuNode* a = AddLast(e, Root(e), "Games");
  AddLast(e, a, "Camera");
  AddLast(e, Root(e), "Tools");
  // A narrower profile leaves stale names beyond its kinds; those indexes must be refused.
  const auto profile = std::filesystem::path(::testing::TempDir()) / "Narrow_refused.prf";
  std::ofstream(profile) << "[mma_ucp format]\r\n36 0C 0\r\n[mma items]\r\nGames\r\n";
  e.LoadProfileFile(profile, {});
  std::filesystem::remove(profile);
  ASSERT_EQ(e.Document().Kinds.KnownKindCount, 2);

  MenuEditor elsewhere;
  elsewhere.NewMenu();
  std::vector<const MenuNode*> nodes{nullptr, elsewhere.Tree().NodeAt(9 - 1)};
  for (std::size_t p = 0; p < e.Tree().Count(); ++p) nodes.push_back(e.Tree().NodeAt(p));
  const int kinds[] = {-1, 0, 1, 2, 146, 147, 100000};
  using Node = const MenuNode*;
  struct Command {
    const char* name;
    std::function<Verdict(Node, int)> allowed;
    std::function<EditOutcome(Node, int)> run;
  };
  const MenuNode* first = e.Tree().NodeAt(9);
  const Command commands[] = {
      {"add subitem", [&](Node n, int k) { return e.CanAdd(n, AddPlacement::SubitemFirst, k); },
       [&](Node n, int k) { return e.Add(n, AddPlacement::SubitemFirst, k); }},
      {"add item", [&](Node n, int k) { return e.CanAdd(n, AddPlacement::ItemBefore, k); },
       [&](Node n, int k) { return e.Add(n, AddPlacement::ItemBefore, k); }},
      {"replace", [&](Node n, int k) { return e.CanReplace(n, k); },
       [&](Node n, int k) { return e.Replace(n, k); }},
      {"drop kind", [&](Node n, int k) { return e.CanDropKind(k, n); },
       [&](Node n, int k) { return e.DropKind(k, n); }},
      {"delete", [&](Node n, int) { return e.CanDelete(n); },
       [&](Node n, int) { return e.Delete(n); }},
      {"move up", [&](Node n, int) { return e.CanMoveUp(n); },
       [&](Node n, int) { return e.MoveUp(n); }},
      {"move down", [&](Node n, int) { return e.CanMoveDown(n); },
       [&](Node n, int) { return e.MoveDown(n); }},
      {"drop node", [&](Node n, int) { return e.CanDropNode(n, first); },
       [&](Node n, int) { return e.DropNode(n, first); }},
      {"modify", [&](Node n, int) { return e.CanModify(n); },
       [&](Node n, int) { return e.ApplyItemProperties(n, ItemProperties{}); }},
  };
  int refusals = 0;
  for (const MenuNode* n : nodes) {
    for (int kind : kinds) {
      for (const Command& c : commands) {
        const Verdict allowed = c.allowed(n, kind);
        if (allowed) continue;  // the commands that run are the other tests' business
        ++refusals;
        const MenuDocument before = e.Document();
        const EditOutcome out = c.run(n, kind);
        EXPECT_FALSE(out.done) << c.name;
        EXPECT_EQ(out.refusal, allowed.Reason()) << c.name;
        EXPECT_FALSE(out.refusal.empty()) << c.name;
        EXPECT_TRUE(SameDocument(before, e.Document())) << c.name << " kind " << kind;
      }
    }
  }
  EXPECT_GT(refusals, 100);
}

TEST(MenuEditor, ItemPropertiesThatCannotBeWrittenAreRefused) {
  MenuEditor e;
  e.NewMenu();
  const MenuNode* item = AddLast(e, Root(e), "Games");
  ItemDataEntry twoUnknown;
  twoUnknown.TypeCode = kUnknownGroup;
  twoUnknown.Frames = {RawFrame{7, {1}}};
  ItemDataEntry knownAsRaw = twoUnknown;
  knownAsRaw.Frames[0].TypeCode = kUrlLink;
  ItemDataEntry heldAs6 = MakeIconFileEntry(3, u"/a/x.gif");
  heldAs6.TypeCode = kIconFileCode6;
  std::vector<TitleCell> many(29, TitleCell{1, u"t"});
  struct Case {
    const char* what;
    std::vector<ItemDataEntry> entries;
  } cases[] = {
      {"twelve entries", std::vector<ItemDataEntry>(12, MakeSendEventEntry(1))},
      {"29 titles", {MakeTitlesEntry(kMenuTitles, many)}},
      {"a title of 400 characters",
       {MakeTitlesEntry(kMenuTitles, {{1, std::u16string(400, u'x')}})}},
      {"a NUL in a URL", {MakeTextEntry(kUrlLink, std::string("a\0b", 3))}},
      {"a 256-character URL", {MakeTextEntry(kUrlLink, std::string(256, 'u'))}},
      {"two unknown-frame entries", {twoUnknown, twoUnknown}},
      {"a known frame kept as unknown", {knownAsRaw}},
      {"an icon held as code 6", {heldAs6}},
      {"type 7 as an entry", {MakeByteEntry(7, 1)}},
  };
  for (const Case& c : cases) {
    const MenuDocument before = e.Document();
    ItemProperties props = WithData(item, {});
    props.data->Entries = c.entries;
    EditOutcome out = e.ApplyItemProperties(item, props);
    EXPECT_FALSE(out.done) << c.what;
    EXPECT_FALSE(out.refusal.empty()) << c.what;
    EXPECT_TRUE(SameDocument(before, e.Document())) << c.what;
  }
  // An empty block is no data at all.
  Give(e, item, {MakeTextEntry(kUrlLink, "x")});
  EXPECT_TRUE(e.ApplyItemProperties(item, WithData(item, {})));
  EXPECT_FALSE(item->Item.HasData);
  EXPECT_FALSE(e.Document().ItemData[item->Item.Id]);
}

TEST(MenuEditor, ModifyItemStoresTheDialogsBytesAndData) {
  MenuEditor e;
  e.NewMenu();
  const MenuNode* item = AddLast(e, Root(e), "Games");
  ItemProperties props = WithData(item, {MakeTextEntry(kUrlLink, "http://x")});
  props.ItemType = 3;
  props.Flags = 8;
  props.Attributes = 0x60;
  ASSERT_TRUE(e.ApplyItemProperties(item, props));
  EXPECT_EQ(item->Item.ItemType, 3);
  EXPECT_EQ(item->Item.Flags, 8);
  EXPECT_EQ(item->Item.Attributes, 0x60);
  EXPECT_TRUE(item->Item.HasData);
  EXPECT_EQ(item->Item.DataLength, 3 + 9);
  EXPECT_EQ(e.Document().ItemData[item->Item.Id]->OwnerId, item->Item.Id);
  EXPECT_EQ(e.Document().DataItemCount, 1);

  // "[Not modified]": no data empties the slot; the data counter is not changed.
  props.data.reset();
  ASSERT_TRUE(e.ApplyItemProperties(item, props));
  EXPECT_FALSE(item->Item.HasData);
  EXPECT_EQ(item->Item.DataLength, 0);
  EXPECT_FALSE(e.Document().ItemData[item->Item.Id]);
  EXPECT_EQ(e.Document().DataItemCount, 1);
}

// Saving with "Save all data" off writes types 2 and 10 and up as 0, but the document keeps
// them: turning the option on again writes them back. A refused save changes nothing either.
TEST(MenuEditor, SavingNeverChangesTheDocument) {
  MenuEditor e;
  e.NewMenu();
  const MenuNode* twelve = AddLast(e, Root(e), "Games");
  ItemProperties props = WithData(twelve, {MakeTextEntry(kUrlLink, "x")});
  props.ItemType = 12;
  ASSERT_TRUE(e.ApplyItemProperties(twelve, props));
  const MenuNode* folder = AddLast(e, Root(e), "Tools");
  AddLast(e, folder, "Camera");

  const MenuDocument before = e.Document();
  WriteOutcome off = e.Serialize();
  ASSERT_TRUE(off.ok());
  const std::size_t record = 10 + 10 * 36;  // the first main item
  EXPECT_EQ(off.bytes[record], 0);
  EXPECT_TRUE(SameDocument(before, e.Document()));
  e.SetSaveAllData(true);
  WriteOutcome on = e.Serialize();
  EXPECT_EQ(on.bytes[record], 12);

  // A kind the profile does not know stops the save; nothing written before it changed.
  const auto profile = std::filesystem::path(::testing::TempDir()) / "Narrow_save.prf";
  std::ofstream(profile) << "[mma_ucp format]\r\n36 0C 0\r\n[mma items]\r\nGames\r\n";
  e.LoadProfileFile(profile, {});
  std::filesystem::remove(profile);
  e.SetSaveAllData(false);
  const MenuDocument narrow = e.Document();
  const auto path = std::filesystem::path(::testing::TempDir()) / "refused_save";
  auto refusal = e.Save(path);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->text, "mma_ucp doesn't match current profile");
  EXPECT_TRUE(e.Document().SaveFailed);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(twelve->Item.ItemType, 12);
  MenuDocument expected = narrow;
  expected.SaveFailed = true;
  EXPECT_TRUE(SameDocument(expected, e.Document()));
}

// Builds the tree's shape from the notifications alone; it must always match the tree.
class ShapeMirror : public MenuEditListener {
 public:
  struct Node {
    const MenuNode* node;
    std::vector<Node> children;
  };
  explicit ShapeMirror(const MenuEditor& e) : e_(e) { Rebuild(); }

  void BeforeInsert(const MenuNode* parent, std::size_t row) override {
    pendingParent_ = parent;
    pendingRow_ = row;
    EXPECT_LE(row, Run(parent).size());
  }
  void AfterInsert(const MenuNode& node) override {
    EXPECT_EQ(node.Parent, pendingParent_);
    auto& run = Run(pendingParent_);
    run.insert(run.begin() + std::ptrdiff_t(pendingRow_), Node{&node, {}});
    ++events;
  }
  void BeforeRemove(const MenuNode& node) override {
    auto& run = Run(node.Parent);
    const std::size_t row = RowOf(run, &node);
    run.erase(run.begin() + std::ptrdiff_t(row));
    removedRow_ = row;
    removedParent_ = node.Parent;
  }
  void AfterRemove(const MenuNode* parent, std::size_t row) override {
    EXPECT_EQ(parent, removedParent_);
    EXPECT_EQ(row, removedRow_);
    ++events;
  }
  void BeforeMove(const MenuNode& node, const MenuNode* toParent, std::size_t toRow) override {
    auto& from = Run(node.Parent);
    const std::size_t at = RowOf(from, &node);
    Node moved = std::move(from[at]);
    from.erase(from.begin() + std::ptrdiff_t(at));
    auto& to = Run(toParent);
    if (&from == &to && toRow > at) --toRow;
    ASSERT_LE(toRow, to.size());
    to.insert(to.begin() + std::ptrdiff_t(toRow), std::move(moved));
  }
  void AfterMove(const MenuNode&) override { ++events; }
  void AfterReset() override { Rebuild(); }

  bool Matches() const { return Same(top_, e_.Tree().TopNodes()); }
  int events = 0;

 private:
  static Node Copy(const MenuNode& n) {
    Node out{&n, {}};
    for (const auto& c : n.Children) out.children.push_back(Copy(*c));
    return out;
  }
  void Rebuild() {
    top_.clear();
    for (const auto& n : e_.Tree().TopNodes()) top_.push_back(Copy(*n));
  }
  static bool Same(const std::vector<Node>& mine, const NodeList& real) {
    if (mine.size() != real.size()) return false;
    for (std::size_t i = 0; i < mine.size(); ++i)
      if (mine[i].node != real[i].get() || !Same(mine[i].children, real[i]->Children)) return false;
    return true;
  }
  static std::size_t RowOf(const std::vector<Node>& run, const MenuNode* node) {
    for (std::size_t i = 0; i < run.size(); ++i)
      if (run[i].node == node) return i;
    ADD_FAILURE() << "node not in its parent's run";
    return 0;
  }
  Node* FindNode(std::vector<Node>& run, const MenuNode* node) {
    for (Node& n : run) {
      if (n.node == node) return &n;
      if (Node* found = FindNode(n.children, node)) return found;
    }
    return nullptr;
  }
  std::vector<Node>& Run(const MenuNode* parent) {
    if (!parent) return top_;
    Node* n = FindNode(top_, parent);
    if (!n) {
      ADD_FAILURE() << "parent not mirrored";
      return top_;
    }
    return n->children;
  }

  const MenuEditor& e_;
  std::vector<Node> top_;
  const MenuNode* pendingParent_ = nullptr;
  std::size_t pendingRow_ = 0;
  const MenuNode* removedParent_ = nullptr;
  std::size_t removedRow_ = 0;
};

// What a menu read back from its own file must equal: the written bytes of each record and
// the data, not the editor's bookkeeping (custom counter, offsets of the last read).
void ExpectReadsBackTheSame(const MenuDocument& doc, const MenuDocument& back) {
  ASSERT_EQ(back.Tree.Count(), doc.Tree.Count());
  for (std::size_t p = 0; p < doc.Tree.Count(); ++p) {
    const MenuNode& a = *doc.Tree.NodeAt(p);
    const MenuNode& b = *back.Tree.NodeAt(p);
    EXPECT_EQ(b.Text, a.Text) << p;
    if (p == 0 || p == kMenuRootPosition) continue;  // fixed records the reader rebuilds
    std::uint8_t type = a.Item.ItemType;
    if (type == 1 && !a.HasChildren() && a.Item.Group != kGroupSoftkeys) type = 0;
    if ((type == 2 || type >= 10) && !doc.Options.saveAllData) type = 0;
    EXPECT_EQ(b.Item.Name, a.Item.Name) << p;
    EXPECT_EQ(b.Item.ItemType, type) << p;
    EXPECT_EQ(b.Item.Id, a.Item.Id) << p;
    EXPECT_EQ(b.Item.ParentIndex, a.Item.ParentIndex) << p;
    EXPECT_EQ(b.Item.NextIndex, a.Item.NextIndex) << p;
    EXPECT_EQ(b.Item.ChildIndex, a.Item.ChildIndex) << p;
    EXPECT_EQ(b.Item.Flags, a.Item.Flags) << p;
    EXPECT_EQ(b.Item.Attributes, a.Item.Attributes) << p;
  }
  // Without "Save all data" the unknown frames are not written.
  for (int id = 0; id < 256; ++id) {
    std::optional<ItemDataBlock> expected = doc.ItemData.Slots[id];
    if (expected && !doc.Options.saveAllData) {
      std::erase_if(expected->Entries,
                    [](const ItemDataEntry& e) { return e.TypeCode == kUnknownGroup; });
      if (expected->Entries.empty()) expected.reset();
    }
    EXPECT_EQ(back.ItemData.Slots[id].has_value(), expected.has_value()) << "slot " << id;
    if (expected && back.ItemData.Slots[id]) {
      EXPECT_TRUE(*back.ItemData.Slots[id] == *expected) << "slot " << id;
    }
  }
}

// A few thousand commands at random nodes with random kinds, refused ones included. After
// every one the numbering holds and the notifications described the change exactly; at
// intervals the menu saves without changing and reads back the same.
TEST(MenuEditor, RandomEditingKeepsTheMenuWhole) {
  MenuEditor e;
  e.NewMenu();
  ShapeMirror mirror(e);
  e.AddListener(&mirror);
  std::mt19937 rng(20261210);
  auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng)); };
  auto node = [&]() -> const MenuNode* {
    const int count = int(e.Tree().Count());
    return pick(20) == 0 ? nullptr : e.Tree().NodeAt(std::size_t(pick(count)));
  };
  auto kind = [&] { return pick(10) == 0 ? pick(400) - 100 : pick(147); };
  auto randomData = [&]() {
    std::vector<ItemDataEntry> entries;
    if (pick(3) == 0)
      entries.push_back(MakeTitlesEntry(kMenuTitles, {{std::uint8_t(1 + pick(47)), u"T"}}));
    if (pick(3) == 0) entries.push_back(MakeIconFileEntry(std::uint8_t(2 + pick(3)), u"/a/i.gif"));
    switch (pick(4)) {
      case 0:
        entries.push_back(MakeTextEntry(kUrlLink, std::string(std::size_t(pick(200)), 'u')));
        break;
      case 1:
        entries.push_back(MakeSendEventEntry(std::uint16_t(pick(65536))));
        break;
      case 2: {
        ItemDataEntry raw;
        raw.TypeCode = kUnknownGroup;
        raw.Frames = {RawFrame{30, std::vector<std::uint8_t>(std::size_t(pick(40)), 7)}};
        UpdateLength(raw);
        entries.push_back(raw);
        break;
      }
      default:
        break;
    }
    return entries;
  };

  int done = 0, refused = 0, saves = 0, full = 0;
  std::size_t largest = 0;
  for (int step = 0; step < 4000; ++step) {
    EditOutcome out;
    const int command = pick(12);
    switch (command) {
      case 0:
        out = e.Add(node(), AddPlacement(pick(4)), kind());
        break;
      case 1:
      case 2:
        out = e.Add(node(), pick(2) ? AddPlacement::SubitemLast : AddPlacement::ItemBefore,
                    KindIndex(e, pick(2) ? "Games" : "Custom item"));
        break;
      case 3:
        out = e.Replace(node(), kind());
        break;
      case 4: {
        const MenuNode* n = node();
        ItemProperties props;
        if (pick(4)) {
          props.data.emplace();
          props.data->Entries = randomData();
        }
        props.ItemType = std::uint8_t(pick(13));
        if (n && pick(4) && e.Tree().Contains(n)) props.ItemType = n->HasChildren() ? 1 : 0;
        props.Flags = pick(2) ? 0 : 8;
        props.Attributes = std::uint8_t(pick(256));
        out = e.ApplyItemProperties(n, std::move(props));
        break;
      }
      case 5:
        // Deleting takes whole folders: rarer than adding, so the menu also fills up.
        out = pick(3) ? e.Add(node(), AddPlacement::SubitemLast, kind()) : e.Delete(node());
        break;
      case 6:
        out = e.MoveUp(node());
        break;
      case 7:
        out = e.MoveDown(node());
        break;
      case 8:
        out = e.DropNode(node(), node());
        break;
      case 9:
        out = e.DropKind(kind(), node());
        break;
      case 10:
        switch (pick(8)) {
          case 0:
            e.SelectRecordLength(pick(2) ? 22 : 36);
            break;
          case 1:
            e.SetSaveAllData(pick(2));
            break;
          case 2:
            e.SetIconMarker(pick(2) ? IconMarker::k06 : IconMarker::k0C);
            break;
          case 3:
            e.SetC698pFix(pick(2));
            break;
          default:
            break;
        }
        continue;
      default:
        if (pick(100) == 0) e.NewMenu();
        break;
    }
    (out.done ? done : refused)++;
    if (out.refusal.starts_with("The menu is full")) ++full;
    largest = std::max(largest, e.Tree().Count());
    ASSERT_EQ(NumberingProblem(e.Document()), "") << "step " << step << " command " << command;
    ASSERT_TRUE(mirror.Matches()) << "step " << step << " command " << command;
    ASSERT_LE(e.Tree().Count() + 1, kMaxRecords);

    if (step % 25 == 0) {
      const MenuDocument before = e.Document();
      WriteOutcome written = e.Serialize();
      ASSERT_TRUE(SameDocument(before, e.Document())) << "step " << step;
      // The one refusal an edited menu may meet: a kind name too long for 22-byte records.
      if (!written.ok()) {
        ASSERT_NE(written.refusal->text.find("\"ReceivedCalls\" is longer"), std::string::npos)
            << "step " << step << ": " << written.refusal->text;
        continue;
      }
      MenuDocument back;
      back.Options.saveAllData = e.Document().Options.saveAllData;
      ReadMenuBytes(written.bytes, back);
      ExpectReadsBackTheSame(e.Document(), back);
      ++saves;
      if (HasFailure()) FAIL() << "step " << step;
    }
  }
  EXPECT_GT(done, 1000);
  EXPECT_GT(refused, 500);
  EXPECT_EQ(largest + 1, kMaxRecords);
  EXPECT_GT(full, 0);
  EXPECT_GT(mirror.events, 1000);
  EXPECT_GT(saves, 100);
}

}  // namespace
}  // namespace trellune
