// Arbitrary bytes into the menu reader. What it accepts must write, read back and write again
// to the same bytes, and go through the JSON form unchanged.
#include <cstdint>
#include <cstdlib>

#include "mma/menu_json.h"
#include "mma/menu_reader.h"
#include "mma/menu_writer.h"

using namespace trellune;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void RoundTrip(std::span<const std::uint8_t> input, bool saveAllData) {
  MenuDocument doc;
  try {
    ReadMenuBytes(input, doc);
  } catch (const MalformedMenuFile&) {
    Check(doc.Tree.Empty());
    return;
  } catch (const ProfileMismatch&) {
    Check(doc.Tree.Empty());
    return;
  }
  doc.Options.saveAllData = saveAllData;
  const Json json = MenuToJson(doc);

  WriteOutcome first = SerializeMenu(doc);
  if (!first.ok()) return;  // e.g. items sharing one large data region add up past 64 KiB

  MenuDocument back;
  ReadMenuBytes(first.bytes, back);
  back.Options.saveAllData = saveAllData;
  WriteOutcome second = SerializeMenu(back);
  Check(second.ok() && second.bytes == first.bytes);

  MenuDocument imported;
  MenuFromJson(Json::parse(json.dump()), imported);
  WriteOutcome third = SerializeMenu(imported);
  Check(third.ok() && third.bytes == first.bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RoundTrip({data, size}, false);
  RoundTrip({data, size}, true);
  return 0;
}
