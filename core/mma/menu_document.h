// Everything one open menu consists of: the tree, the attached-data table, the counters, the
// save options and the active kind list. Passed explicitly; a program may hold many. Copies
// are deep and independent.
#pragma once

#include <cstdint>
#include <string>

#include "mma/format_options.h"
#include "mma/item_data.h"
#include "mma/kinds.h"
#include "mma/menu_tree.h"

namespace trellune {

struct MenuDocument {
  MenuTree Tree;
  ItemDataTable ItemData;
  // Data blocks created since the menu was cleared or loaded, less those the Delete command
  // released. 8-bit like the rest of the model's counters.
  std::uint8_t DataItemCount = 0;
  std::uint8_t CustomItemCount = 0;  // numbering of custom items "~N"; survives New and Open
  bool SaveFailed = false;           // the last save found a kind unknown to the profile
  int RecordLength = 0;              // of the open menu; 0 until a file was read or written
  std::size_t DataAreaOffset = 0;    // file offset of the data area of the file last read
  FormatOptions Options;
  KindList Kinds;
};

}  // namespace trellune
