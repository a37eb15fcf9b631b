// Arbitrary bytes as the JSON form of a menu. A refused form changes nothing of the open
// menu; an accepted one writes a file that reads back and writes the same bytes again.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "mma/menu_json.h"
#include "mma/menu_ops.h"
#include "mma/menu_reader.h"
#include "mma/menu_writer.h"

using namespace trellune;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

std::string Fingerprint(const MenuDocument& doc) {
  return MenuToJson(doc).dump() + std::to_string(doc.DataItemCount) +
         std::to_string(doc.RecordLength);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MenuDocument doc;
  NewMenu(doc);
  doc.CustomItemCount = 5;
  doc.Options.SelectRecordLength(22);
  const std::string before = Fingerprint(doc);
  try {
    MenuFromJson(ParseMenuJson({reinterpret_cast<const char*>(data), size}), doc);
  } catch (const MenuJsonError&) {
    Check(Fingerprint(doc) == before);
    return 0;
  }
  const WriteOutcome written = SerializeMenu(doc);
  if (!written.ok()) return 0;  // kinds no profile knows, more data than a file holds
  MenuDocument back;
  back.Options.saveAllData = doc.Options.saveAllData;
  ReadMenuBytes(written.bytes, back);  // a file the writer made always reads
  const WriteOutcome again = SerializeMenu(back);
  Check(again.ok() && again.bytes == written.bytes);
  return 0;
}
