#include "mma/format_options.h"

namespace trellune {

std::string_view IconMarkerText(IconMarker marker) {
  return marker == IconMarker::k06 ? "06" : "0C";
}

void FormatOptions::SelectRecordLength(int length) {
  if (length == recordLength) return;
  recordLength = length;
  if (length == 22) {
    iconMarkerEnabled = true;
    c698pFixEnabled = true;
  } else {
    iconMarker = IconMarker::k0C;
    iconMarkerEnabled = false;
    c698pFix = false;
    c698pFixEnabled = false;
  }
}

void FormatOptions::SetFromFileRecordLength(int length) {
  recordLength = length;
  if (length == 36) {
    iconMarker = IconMarker::k0C;
    iconMarkerEnabled = false;
    c698pFix = false;
    c698pFixEnabled = false;
  } else {
    iconMarkerEnabled = true;
    c698pFixEnabled = true;
  }
}

}  // namespace trellune
