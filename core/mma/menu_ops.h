// Operations on a menu document that keep the tree, the items' index fields and the data
// slots in agreement. Every structural change ends with RenumberItems. They trust their
// caller; edits come through MenuEditor, which checks first.
#pragma once

#include <cstdint>
#include <string_view>

#include "mma/menu_document.h"

namespace trellune {

// The 1-based record number the node will have in the file (8-bit, wraps at 256). Only
// meaningful for the main menu root and main items.
std::uint8_t ItemRecordNumber(const MenuTree& tree, const MenuNode& node);

// Recomputes ParentIndex, NextIndex, ChildIndex, Id and the leaf rule of all main items and
// moves their data blocks to their new slots. Data of main items without HasData, and data
// attached to the container or the main menu root, is dropped.
void RenumberItems(MenuDocument& doc);
void RenumberItems(MenuTree& tree, ItemDataTable& data);

// The numbering and index fields of RenumberItems alone, for a tree whose items have no
// blocks in any table yet (a menu being read).
void RenumberTree(MenuTree& tree);

// Gives the item the block just stored in its slot: HasData, OwnerId, DataLength.
void AttachData(MenuDocument& doc, MenuNode& node);

// Initialises the item of a node just inserted into the tree and repairs the model. The node's
// Name, Text and AllowSubitems are set by the caller. asChild: the node was added as a child
// of the selected node (which then becomes a folder and loses its function data).
void InsertItem(MenuDocument& doc, bool isCustom, MenuNode& node, bool asChild);

// Changes the kind of the node's item; its attached data is dropped. Returns true when the
// item became custom, so the caller opens the properties dialog on it.
bool ReplaceItemKind(MenuDocument& doc, MenuNode& node, bool isCustom, std::string_view kindName);

// Gives an item of a shortcut kind its shortcut entry naming the kind.
void MakeShortcutData(MenuDocument& doc, MenuNode& node, std::string_view kindName);

// Removes all nodes and data; the counter of custom items, the options and the kinds stay.
void EmptyMenu(MenuDocument& doc);

// The softkey half of a new menu: "Softkeys" and the seven default softkeys.
void NewKeys(MenuDocument& doc);

// The New command: an empty menu with the default softkeys and an empty "Menu Root".
void NewMenu(MenuDocument& doc);

// The first status panel's text for the current tree: "Format: 36-byte  Entries: 3".
std::string StatusText(const MenuDocument& doc);

// Releases the data of the node and of its subitems, removes them and renumbers. The node
// must be a main item; MenuEditor::Delete checks that.
void DeleteItem(MenuDocument& doc, MenuNode& node);

}  // namespace trellune
