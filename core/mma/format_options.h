// The save options of the main window as a value: the "22-byte"/"36-byte" buttons, the
// "Custom icon attribute" group, "c698p mma_ucp fix" and "Save all data", each with its
// checked and enabled state. The reader and the profiles set them, the writer reads them.
#pragma once

#include <string_view>

namespace trellune {

enum class IconMarker { k06, k0C };

std::string_view IconMarkerText(IconMarker marker);  // "06" or "0C"

struct FormatOptions {
  int recordLength = 36;                    // 22 or 36
  IconMarker iconMarker = IconMarker::k0C;  // type code of custom icon frames when writing
  bool iconMarkerEnabled = false;
  bool c698pFix = false;
  bool c698pFixEnabled = false;
  bool saveAllData = false;

  // The user picks a record length. The coupling acts only when the length changes:
  // 22 enables the marker and the fix; 36 forces "0C", disables the marker and clears and
  // disables the fix.
  void SelectRecordLength(int length);

  // What reading a file of this record length sets (the fix and marker values follow from
  // the file's header and icon frames).
  void SetFromFileRecordLength(int length);

  bool operator==(const FormatOptions&) const = default;
};

}  // namespace trellune
